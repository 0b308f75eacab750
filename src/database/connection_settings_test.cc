#include "database/connection_settings.h"

#include <gtest/gtest.h>

#include <map>

#include "database/store_connection.h"
#include "platform/config_key.h"
#include "support/test_database.h"

namespace zlv {
namespace {

class FakeConfigKey : public ConfigKey {
 public:
  std::map<std::string, std::string> values;
  std::optional<std::string> Read(const std::string& name) const override {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

TEST(GetStringConexZlvTest, ConfiguredConnectionStringWins) {
  FakeConfigKey key;
  key.values["ConnectionString"] =
      "Driver={ODBC Driver 18 for SQL Server};Server=.;Trusted_Connection=yes";
  EXPECT_EQ(GetStringConexZlv("", key, "/opt/zlv"), key.values["ConnectionString"]);
}

TEST(GetStringConexZlvTest, WithoutOneTheEmbeddedDatabaseBesideTheProgramIsUsed) {
  FakeConfigKey key;
  const std::string expected =
      "sqlite:" + (std::filesystem::path("/opt/zlv") / "Dados" / "ZlvSinc.db").string();
  EXPECT_EQ(GetStringConexZlv("", key, "/opt/zlv"), expected);
  key.values["ConnectionString"] = "  ";
  EXPECT_EQ(GetStringConexZlv("", key, "/opt/zlv"), expected);
}

// Records what the session set-up sends to a SQL Server connection (there is no server here).
class RecordingDatabase : public Database {
 public:
  std::vector<std::string> sent;
  Dialect dialect() const override { return Dialect::SqlServer; }
  std::string dbms_name() const override { return "Microsoft SQL Server"; }
  std::string driver_name() const override { return "libmsodbcsql-18.so"; }
  DataPacket Query(const std::string& sql, const std::vector<Variant>&,
                   const QueryOptions&) override {
    sent.push_back(sql);
    return {};
  }
  int64_t Execute(const std::string& sql, const std::vector<Variant>&, int) override {
    sent.push_back(sql);
    return 0;
  }
  void Begin() override {}
  void Commit() override {}
  void Rollback() override {}
  bool InTransaction() const override { return false; }
};

TEST(SetADODBSessionTest, SqlServerSessionReadsDayMonthYearAndAbortsOnArithmeticErrors) {
  RecordingDatabase db;
  SetADODBSession(db);
  auto sent = [&](const std::string& sql) {
    return std::find(db.sent.begin(), db.sent.end(), sql) != db.sent.end();
  };
  EXPECT_TRUE(sent("SET DATEFORMAT dmy"));
  EXPECT_TRUE(sent("SET ARITHABORT ON"));
  // The language is set first: it would reset the date format otherwise.
  EXPECT_EQ(db.sent.front(), "SET LANGUAGE Brazilian");
}

TEST(StoreDatabaseLineTest, NamesTheDatabaseItsDriverAndTheDialectItGets) {
  EXPECT_EQ(StoreDatabaseLine(RecordingDatabase()),
            "adcSincronismo: banco de dados Microsoft SQL Server (driver libmsodbcsql-18.so), "
            "dialeto SQL Server");
}

class SessionTest : public test::DriverTest {};
ZLV_ON_BOTH_DRIVERS(SessionTest);

TEST_P(SessionTest, SqliteSessionEnforcesKeysInWalMode) {
  EXPECT_EQ(db_->Query("PRAGMA foreign_keys", {}).rows.at(0).at(0).AsInteger(), 1);
  EXPECT_EQ(db_->Query("PRAGMA journal_mode", {}).rows.at(0).at(0).AsText(), "wal");
  EXPECT_EQ(db_->Query("PRAGMA busy_timeout", {}).rows.at(0).at(0).AsInteger(), 5000);
}

}  // namespace
}  // namespace zlv
