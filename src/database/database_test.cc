#include "database/database.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "database/odbc_database.h"
#include "database/sqlite_database.h"
#include "support/test_database.h"

namespace zlv {
namespace {

using test::Driver;

class DatabaseTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    if (IsSkipped()) return;
    test::CreateStoreTables(*db_);
    db_->Execute("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('OP1', 'Ana')", {});
    db_->Execute("INSERT INTO VENDEDOR (CDFILIAL, CDVENDEDOR) VALUES ('0001', 'V1')", {});
  }

  void InsertSale(const std::string& nrvendarest, const Variant& cdoperador,
                  const Variant& cdvendedor = Variant::Null()) {
    db_->Execute(
        "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDOPERADOR, CDVENDEDOR) VALUES (?, ?, ?, ?)",
        {"0001", nrvendarest, cdoperador, cdvendedor});
  }

  std::string FailureOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const DatabaseError& e) {
      return e.what();
    }
    ADD_FAILURE() << "no DatabaseError";
    return "";
  }
};
ZLV_ON_BOTH_DRIVERS(DatabaseTest);

TEST_P(DatabaseTest, ReportsTheSqliteDialect) {
  EXPECT_EQ(db_->dialect(), Dialect::Sqlite);
  EXPECT_EQ(db_->dbms_name(), "SQLite");
  EXPECT_FALSE(db_->driver_name().empty());
}

TEST_P(DatabaseTest, ResultFieldsCarryTheDeclaredColumnTypes) {
  const std::string obs = "Sem cebola, ação " + std::string(9000, '.');  // read in pieces
  db_->Execute(
      "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, NRPESMESAVEN, VRTAXA, TXOBS, DTHRABERMESA) "
      "VALUES (?, ?, ?, ?, ?, ?)",
      {"0001", "0000000001", 3, 2.5, obs, DateTime::FromCivil(2024, 3, 5, 14, 7, 9)});
  const DataPacket p = db_->Query(
      "SELECT CDFILIAL, NRPESMESAVEN, VRTAXA, TXOBS, DTHRABERMESA, CDOPERADOR FROM VENDAREST", {});
  ASSERT_EQ(p.rows.size(), 1u);
  EXPECT_EQ(p.fields[0].type, FieldType::String);
  EXPECT_EQ(p.fields[0].size, 4);
  EXPECT_EQ(p.fields[1].type, FieldType::Integer);
  EXPECT_EQ(p.fields[2].type, FieldType::Float);
  EXPECT_EQ(p.fields[4].type, FieldType::DateTime);
  EXPECT_EQ(p.rows[0][0], Variant("0001"));
  EXPECT_EQ(p.rows[0][1], Variant(int64_t{3}));
  EXPECT_EQ(p.rows[0][2], Variant(2.5));
  EXPECT_EQ(p.rows[0][3], Variant(obs));  // UTF-8 both ways
  EXPECT_TRUE(p.rows[0][5].IsNull());
}

TEST_P(DatabaseTest, DateTimeRoundTripsAsADateTimeStoredAsIsoText) {
  const DateTime when = DateTime::FromCivil(2024, 12, 31, 23, 59, 58);
  db_->Execute("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, DTHRABERMESA) VALUES (?, ?, ?)",
               {"0001", "1", when});
  const DataPacket p = db_->Query("SELECT DTHRABERMESA FROM VENDAREST", {});
  EXPECT_EQ(p.rows.at(0).at(0), Variant(when));
  // Other programs and the text comparisons of the statements see the ISO form.
  const DataPacket text = db_->Query(
      "SELECT CASE WHEN DTHRABERMESA = '2024-12-31 23:59:58' THEN 'iso' ELSE DTHRABERMESA END "
      "AS T FROM VENDAREST",
      {});
  EXPECT_EQ(text.rows.at(0).at(0), Variant("iso"));
}

TEST_P(DatabaseTest, DecimalsKeepFourPlacesUnlessReadAsFloat) {
  db_->Execute("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, VRTOTAL) VALUES ('0001', '1', ?)",
               {12.345678});
  const std::string sql = "SELECT VRTOTAL FROM VENDAREST";
  const DataPacket fixed = db_->Query(sql, {});
  const DataPacket floating = db_->Query(sql, {}, QueryOptions{.decimals_as_float = true});
  EXPECT_EQ(fixed.fields[0].type, FieldType::Float);
  EXPECT_EQ(floating.fields[0].type, FieldType::Float);
  EXPECT_DOUBLE_EQ(floating.rows[0][0].AsFloat(), 12.345678);
  if (GetParam() == Driver::Sqlite) {
    EXPECT_DOUBLE_EQ(fixed.rows[0][0].AsFloat(), 12.3457);
  }
}

TEST_P(DatabaseTest, MissingOperatorIsReportedAsTheServerWordsIt) {
  const std::string message = FailureOf([&] { InsertSale("1", "OP9"); });
  EXPECT_EQ(message,
            "The INSERT statement conflicted with the FOREIGN KEY constraint "
            "\"FK_VENDAREST_OPERADOR\". The conflict occurred in database \"ZLV\", tabela "
            "\"MORVANE.OPERADOR\", column 'CDOPERADOR'");
  EXPECT_TRUE(db_->Query("SELECT * FROM VENDAREST", {}).rows.empty());
  // With the seller missing too, the key declared first is the one named.
  EXPECT_EQ(FailureOf([&] { InsertSale("1", "OP9", "V9"); }), message);
}

TEST_P(DatabaseTest, MissingSellerOfACompositeKeyNamesTheSellerColumn) {
  const std::string message = FailureOf([&] { InsertSale("1", "OP1", "V9"); });
  EXPECT_NE(message.find("tabela \"MORVANE.VENDEDOR\", column 'CDVENDEDOR'"), std::string::npos)
      << message;
  EXPECT_EQ(message.back(), '\'');
}

TEST_P(DatabaseTest, ForeignKeyOfAnUpdateIsNamedToo) {
  InsertSale("1", "OP1");
  const std::string message = FailureOf([&] {
    db_->Execute("UPDATE VENDAREST SET CDOPERADOR = ? WHERE NRVENDAREST = ?", {"OP7", "1"});
  });
  EXPECT_NE(message.find("The UPDATE statement conflicted"), std::string::npos) << message;
  EXPECT_NE(message.find("column 'CDOPERADOR'"), std::string::npos) << message;
}

TEST_P(DatabaseTest, FailedStatementCarriesTheDatabaseMessage) {
  InsertSale("1", "OP1");
  const std::string duplicate = FailureOf([&] { InsertSale("1", "OP1"); });
  EXPECT_NE(duplicate.find("UNIQUE constraint failed: VENDAREST.CDFILIAL, VENDAREST.NRVENDAREST"),
            std::string::npos)
      << duplicate;
  const std::string syntax = FailureOf([&] { db_->Query("SELECT FROM WHERE", {}); });
  EXPECT_NE(syntax.find("syntax error"), std::string::npos) << syntax;
  const std::string table = FailureOf([&] { db_->Query("SELECT * FROM NAOEXISTE", {}); });
  EXPECT_NE(table.find("no such table: NAOEXISTE"), std::string::npos) << table;
}

TEST_P(DatabaseTest, RepeatedColumnNamesStayReadable) {
  InsertSale("1", "OP1");
  const DataPacket p = db_->Query(
      "SELECT V.CDOPERADOR, O.* FROM VENDAREST V, OPERADOR O WHERE V.CDOPERADOR = O.CDOPERADOR",
      {});
  ASSERT_EQ(p.fields.size(), 3u);
  EXPECT_EQ(p.fields[0].name, "CDOPERADOR");
  EXPECT_EQ(p.fields[1].name, "CDOPERADOR_1");
  EXPECT_EQ(p.fields[2].name, "NMOPERADOR");
}

TEST_P(DatabaseTest, TransactionIsRolledBackAndCommitted) {
  EXPECT_FALSE(db_->InTransaction());
  db_->Begin();
  EXPECT_TRUE(db_->InTransaction());
  InsertSale("1", "OP1");
  db_->Rollback();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_TRUE(db_->Query("SELECT * FROM VENDAREST", {}).rows.empty());
  db_->Begin();
  InsertSale("2", "OP1");
  db_->Commit();
  EXPECT_EQ(Connect()->Query("SELECT * FROM VENDAREST", {}).rows.size(), 1u);
}

TEST_P(DatabaseTest, ReaderIsNotBlockedByAnOpenWriteTransaction) {
  InsertSale("1", "OP1");
  auto reader = Connect();
  db_->Begin();
  InsertSale("2", "OP1");
  // WAL: the reader sees the last committed state instead of failing on the lock.
  EXPECT_EQ(reader->Query("SELECT * FROM VENDAREST", {}).rows.size(), 1u);
  db_->Commit();
  EXPECT_EQ(reader->Query("SELECT * FROM VENDAREST", {}).rows.size(), 2u);
}

TEST_P(DatabaseTest, SecondWriterWaitsForTheLockInsteadOfFailing) {
  auto other = Connect();
  other->Begin();
  other->Execute("INSERT INTO OPERADOR (CDOPERADOR) VALUES ('OP2')", {});
  std::thread committer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other->Commit();
  });
  // Waits (busy time-out) until the other connection commits, then writes.
  EXPECT_NO_THROW({
    db_->Begin();
    InsertSale("1", "OP2");
    db_->Commit();
  });
  committer.join();
  EXPECT_EQ(db_->Query("SELECT * FROM VENDAREST", {}).rows.size(), 1u);
}

TEST_P(DatabaseTest, StatementsAreReusedWithNewValues) {
  for (int i = 0; i < 50; ++i) InsertSale(std::to_string(i), i % 2 ? Variant("OP1") : Variant());
  const DataPacket p =
      db_->Query("SELECT COUNT(*) AS N FROM VENDAREST WHERE CDOPERADOR = ?", {"OP1"});
  EXPECT_EQ(p.rows[0][0].AsInteger(), 25);
}

TEST_P(DatabaseTest, WrongNumberOfValuesIsRefused) {
  EXPECT_THROW(db_->Query("SELECT * FROM VENDAREST WHERE CDFILIAL = ?", {}), DatabaseError);
}

// SQLite driver only.

TEST(SqliteDatabaseTest, ExpressionColumnsTakeTheTypeOfTheirValues) {
  test::TempDir dir("zlv_database");
  auto db = OpenDatabase("sqlite:" + (dir.path() / "x.db").string());
  const DataPacket p =
      db->Query("SELECT 1 AS I, 1.5 AS F, 'a' AS S, NULL AS N, MAX(2, 3.5) AS M", {});
  EXPECT_EQ(p.fields[0].type, FieldType::Integer);
  EXPECT_EQ(p.fields[1].type, FieldType::Float);
  EXPECT_EQ(p.fields[2].type, FieldType::String);
  EXPECT_EQ(p.fields[3].type, FieldType::String);
  EXPECT_EQ(p.rows[0][4], Variant(3.5));
}

TEST(SqliteDatabaseTest, ScriptRunsEveryStatement) {
  test::TempDir dir("zlv_database");
  auto db = OpenDatabase("sqlite:" + (dir.path() / "x.db").string());
  db->Execute("CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (?); INSERT INTO T VALUES (?);",
              {1, 2});
  EXPECT_EQ(db->Query("SELECT SUM(A) AS S FROM T; -- total\n", {}).rows[0][0].AsInteger(), 3);
}

TEST(SqliteDatabaseTest, LongQueryStopsAtItsTimeout) {
  test::TempDir dir("zlv_database");
  auto db = OpenDatabase("sqlite:" + (dir.path() / "x.db").string());
  const auto start = std::chrono::steady_clock::now();
  try {
    db->Query(
        "WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 FROM C) SELECT MAX(X) FROM C", {},
        QueryOptions{.timeout_seconds = 1});
    FAIL() << "no timeout";
  } catch (const DatabaseError& e) {
    EXPECT_STREQ(e.what(), "Query timeout expired");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(SqliteDatabaseTest, UnopenableFileIsADatabaseError) {
  EXPECT_THROW(OpenDatabase("sqlite:/nonexistent-folder/sub/x.db"), DatabaseError);
  EXPECT_THROW(OpenDatabase(""), DatabaseError);
}

// SQL Server answers under several names (Microsoft's drivers, FreeTDS); a database the
// statements were not written for is refused, naming itself and its driver, rather than sent
// the SQLite texts.
TEST(OdbcDatabaseTest, SqlServerIsRecognisedUnderAnyOfItsNamesAndAnUnknownDbmsIsRefused) {
  const struct {
    const char* dbms;
    std::optional<Dialect> dialect;
  } cases[] = {
      {"Microsoft SQL Server", Dialect::SqlServer},
      {"SQL Server", Dialect::SqlServer},
      {"Microsoft SQL Server 2019", Dialect::SqlServer},
      {"SQLite", Dialect::Sqlite},
      {"PostgreSQL", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    if (c.dialect) {
      EXPECT_EQ(OdbcDialectOf(c.dbms, "drv.so"), *c.dialect) << c.dbms;
      continue;
    }
    try {
      OdbcDialectOf(c.dbms, "drv.so");
      ADD_FAILURE() << "'" << c.dbms << "' was not refused";
    } catch (const DatabaseError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(std::string("'") + c.dbms + "' (driver drv.so)"), std::string::npos)
          << message;
    }
  }
}

// The UTF-16 path is the one SQL Server connections take.
TEST(OdbcDatabaseTest, Utf16TextsRoundTrip) {
  test::TempDir dir("zlv_database");
  const std::string cs = test::ConnectionString(Driver::Odbc, dir.path() / "x.db");
  OdbcDatabase db(cs, OdbcDatabase::Texts::Utf16);
  db.Execute("CREATE TABLE T (A VARCHAR(40), B TEXT)", {});
  const std::string accented = "Pão de queijo – ação ✓";
  const std::string long_text(10000, 'x');
  db.Execute("INSERT INTO T (A, B) VALUES (?, ?)", {accented, long_text});
  const DataPacket p = db.Query("SELECT A, B FROM T WHERE A = ?", {accented});
  ASSERT_EQ(p.rows.size(), 1u);
  EXPECT_EQ(p.rows[0][0], Variant(accented));
  EXPECT_EQ(p.rows[0][1].AsText().size(), long_text.size());
  EXPECT_THROW(db.Query("SELECT * FROM NAOEXISTE", {}), DatabaseError);
}

TEST(OdbcDatabaseTest, UnknownDriverIsADatabaseError) {
  EXPECT_THROW(OpenDatabase("Driver=/nonexistent/driver.so;Database=x"), DatabaseError);
}

// A lost link is made again at the next tick; anything else is the statement's own failure. A
// busy or locked database clears by itself: taking it for a lost link would drop a working
// connection in the middle of another program's write.
TEST(ConnectionLostTest, SqliteResultCodesThatMeanTheLinkIsGone) {
  const std::pair<int, bool> cases[] = {
      {SQLITE_IOERR, true},
      {SQLITE_IOERR_READ, true},
      {SQLITE_IOERR_SHORT_READ, true},
      {SQLITE_IOERR_FSYNC, true},
      {SQLITE_IOERR_LOCK, true},
      {SQLITE_CANTOPEN, true},
      {SQLITE_NOTADB, true},
      {SQLITE_READONLY_DBMOVED, true},
      {SQLITE_BUSY, false},
      {SQLITE_BUSY_SNAPSHOT, false},
      {SQLITE_LOCKED, false},
      {SQLITE_LOCKED_SHAREDCACHE, false},
      {SQLITE_READONLY, false},
      {SQLITE_CONSTRAINT_FOREIGNKEY, false},
      {SQLITE_ERROR, false},
      {SQLITE_FULL, false},
      {SQLITE_CORRUPT, false},
      {SQLITE_INTERRUPT, false},
  };
  for (const auto& [code, lost] : cases) {
    EXPECT_EQ(SqliteCodeMeansConnectionLost(code), lost) << sqlite3_errstr(code) << " " << code;
  }
  // The same decision on the driver's own path: a file that is not a database.
  test::TempDir dir("zlv_database");
  test::WriteFileBytes(dir.path() / "x.db", std::string(4096, 'x'));
  EXPECT_THROW(OpenDatabase("sqlite:" + (dir.path() / "x.db").string()), ConnectionLostError);
}

TEST(ConnectionLostTest, OdbcStatesOfClass08MeanTheLinkIsGone) {
  const std::pair<const char*, bool> cases[] = {
      {"08S01", true},  {"08001", true},  {"08003", true},  {"08004", true},  {"08007", true},
      {"HYT00", false}, {"HYT01", false}, {"40001", false}, {"23000", false}, {"42S02", false},
      {"HY000", false}, {"01000", false}, {"", false},      {"0", false},
  };
  for (const auto& [state, lost] : cases) {
    EXPECT_EQ(OdbcStateMeansConnectionLost(state), lost) << state;
  }
}

}  // namespace
}  // namespace zlv
