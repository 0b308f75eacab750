// The database scripts of the synchroniser's own tables: the upgrade of an embedded store made
// before them gives the tables and indexes a new store gets, running it again changes nothing,
// and the SQL Server script (which cannot run here) makes the same tables, columns and indexes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "store/number_sequences.h"
#include "support/demo_store.h"
#include "support/temp_dir.h"

namespace zlv::test {
namespace {

namespace fs = std::filesystem;

const fs::path kDb = fs::path(ZLV_SOURCE_DIR) / "db";

const std::vector<std::string> kOwnTables = {"ZLVSINCVERSAO", "LOGSINCDLV", "ZLVSINCEXECUTA",
                                             "ZLVPROXCODIGO", "ZLVSINCIMPPEND"};
// The indexes the scripts add to the point of sale's tables.
const std::vector<std::string> kOwnIndexes = {"COMANDAVEN_NRREQEXTCMD", "ITCOMANDAVEN_NRSEQPRODCUP",
                                              "ITCOMANDAVEN_CDSENHAPED"};

// Every column and index of the own tables and the own indexes, as SQLite describes them.
std::vector<std::vector<Variant>> Describe(Database& db) {
  std::vector<std::vector<Variant>> rows;
  for (const std::string& table : kOwnTables) {
    for (const char* sql :
         {"SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?)",
          "SELECT name, \"unique\" FROM pragma_index_list(?) ORDER BY name"}) {
      for (auto& row : db.Query(sql, {Variant(table)}).rows) rows.push_back(row);
    }
  }
  for (const std::string& index : kOwnIndexes) {
    for (auto& row : db.Query("SELECT name FROM pragma_index_info(?)", {Variant(index)}).rows) {
      rows.push_back(row);
    }
  }
  rows.push_back(db.Query("SELECT group_concat(NRVERSAO) FROM ZLVSINCVERSAO", {}).rows.at(0));
  return rows;
}

TEST(DbScripts, AStoreMadeBeforeTheOwnTablesGetsTheNewStoresTablesFromTheUpgrade) {
  TempDir dir("zlv_db_scripts");
  auto fresh = OpenDemoStore(dir.path() / "fresh.db", Seed::kEmpty);
  const auto expected = Describe(*fresh);
  ASSERT_GT(expected.size(), 30u);

  auto older = OpenDemoStore(dir.path() / "older.db", Seed::kEmpty);
  for (const std::string& index : kOwnIndexes) older->Execute("DROP INDEX " + index, {});
  for (const std::string& table : kOwnTables) older->Execute("DROP TABLE " + table, {});
  RunSqlFile(*older, kDb / "upgrade.sqlite.sql");
  EXPECT_EQ(Describe(*older), expected);
  RunSqlFile(*older, kDb / "upgrade.sqlite.sql");
  RunSqlFile(*fresh, kDb / "upgrade.sqlite.sql");
  EXPECT_EQ(Describe(*older), expected) << "a second run changes nothing";
  EXPECT_EQ(Describe(*fresh), expected);
}

std::string ReadScript(const std::string& name) { return ReadFileBytes(kDb / name); }

// The text of one guarded CREATE in the SQL Server script, up to its closing statement end.
std::string Block(const std::string& script, const std::string& head) {
  const size_t at = script.find(head);
  if (at == std::string::npos) return "";
  return script.substr(at, script.find(";", at) - at);
}

TEST(DbScripts, TheSqlServerScriptMakesTheSameTablesColumnsAndIndexesOnlyWhenMissing) {
  TempDir dir("zlv_db_scripts");
  auto db = OpenDemoStore(dir.path() / "store.db", Seed::kEmpty);
  const std::string mssql = ReadScript("upgrade.sqlserver.sql");
  for (const std::string& table : kOwnTables) {
    SCOPED_TRACE(table);
    EXPECT_NE(mssql.find("IF OBJECT_ID('" + table + "') IS NULL\n  CREATE TABLE " + table + " ("),
              std::string::npos);
    const std::string create = Block(mssql, "CREATE TABLE " + table + " (");
    for (const auto& row :
         db->Query("SELECT name, \"notnull\", pk FROM pragma_table_info(?)", {Variant(table)})
             .rows) {
      // A key column is NOT NULL on SQL Server, whatever SQLite's row id alias says.
      const std::string nulls = row[1].AsInteger() != 0   ? "NOT NULL"
                                : row[2].AsInteger() != 0 ? "(NOT )?NULL"
                                                          : "NULL";
      const std::regex column("\\n    " + row[0].AsText() +
                              " +[A-Z]+(\\([0-9, ]+\\))?( IDENTITY\\(1, 1\\))? " + nulls);
      EXPECT_TRUE(std::regex_search(create, column)) << row[0].AsText();
    }
  }
  std::vector<std::string> indexes = kOwnIndexes;
  indexes.push_back("LOGSINCDLV_PEDIDO");
  for (const std::string& index : indexes) {
    SCOPED_TRACE(index);
    std::string table, columns;
    for (const auto& row :
         db->Query("SELECT tbl_name FROM sqlite_master WHERE name = ?", {Variant(index)}).rows) {
      table = row[0].AsText();
    }
    for (const auto& row :
         db->Query("SELECT name FROM pragma_index_info(?) ORDER BY seqno", {Variant(index)}).rows) {
      columns += (columns.empty() ? "" : ", ") + row[0].AsText();
    }
    EXPECT_NE(mssql.find("WHERE object_id = OBJECT_ID('" + table + "') AND name = '" + index +
                         "')\n  CREATE INDEX " + index + " ON " + table + " (" + columns + ");"),
              std::string::npos);
  }
  const std::regex version("INTO ZLVSINCVERSAO \\(NRVERSAO\\) VALUES \\((\\d+)\\)");
  std::smatch mssql_version, sqlite_version;
  const std::string sqlite = ReadScript("upgrade.sqlite.sql");
  ASSERT_TRUE(std::regex_search(mssql, mssql_version, version));
  ASSERT_TRUE(std::regex_search(sqlite, sqlite_version, version));
  EXPECT_EQ(mssql_version[1], sqlite_version[1]);
  // Nothing the script makes is made unguarded.
  EXPECT_EQ(std::regex_search(mssql, std::regex("\\n(CREATE|INSERT)")), false);
}

// The number generator looks each new number up among the rows of its sequence: on a store with
// years of sales that must be an index seek, or every order would read the whole table.
TEST(DbScripts, EveryNumberLookUpSeeksAnIndex) {
  TempDir dir("zlv_db_scripts");
  auto db = OpenDemoStore(dir.path() / "store.db", Seed::kEmpty);
  for (const numbers::Sequence* seq : numbers::kAllSequences) {
    SCOPED_TRACE(seq->counter);
    std::vector<Variant> params;
    const std::string query = numbers::InUseQuery(*seq);
    for (char c : query) {
      if (c == '?') params.emplace_back("1");
    }
    std::string plan;
    for (const auto& row : db->Query("EXPLAIN QUERY PLAN " + query, params).rows) {
      plan += row.back().AsText() + "\n";
    }
    EXPECT_NE(plan.find("SEARCH " + std::string(seq->table) + " USING "), std::string::npos)
        << plan;
    EXPECT_EQ(plan.find("SCAN " + std::string(seq->table)), std::string::npos) << plan;
  }
}

}  // namespace
}  // namespace zlv::test
