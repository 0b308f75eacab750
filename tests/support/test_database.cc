#include "support/test_database.h"

#include <cstdlib>

#include "database/connection_settings.h"

namespace zlv {

void PrintTo(const Variant& value, std::ostream* out) {
  switch (value.type()) {
    case Variant::Type::Empty:
      *out << "<empty>";
      break;
    case Variant::Type::Null:
      *out << "<null>";
      break;
    case Variant::Type::Array:
    case Variant::Type::Packet:
      *out << "<array/packet>";
      break;
    default:
      *out << static_cast<int>(value.type()) << ":'" << value.AsText() << "'";
  }
}

}  // namespace zlv

namespace zlv::test {

namespace {

const char* OdbcDriverPath() {
  const char* path = std::getenv("ZLV_SQLITE_ODBC_DRIVER");
  return path != nullptr ? path : "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
}

}  // namespace

std::string ConnectionString(Driver driver, const std::filesystem::path& file) {
  if (driver == Driver::Sqlite) return "sqlite:" + file.string();
  return std::string("Driver=") + OdbcDriverPath() + ";Database=" + file.string() + ";";
}

std::string DriverName(const ::testing::TestParamInfo<Driver>& info) {
  return info.param == Driver::Sqlite ? "Sqlite" : "Odbc";
}

void CreateStoreTables(Database& db) {
  // One statement per call: the ODBC driver prepares a single statement.
  const char* statements[] = {
      "CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(12) NOT NULL PRIMARY KEY, NMOPERADOR "
      "VARCHAR(40))",
      "CREATE TABLE VENDEDOR (CDFILIAL VARCHAR(4) NOT NULL, CDVENDEDOR VARCHAR(4) NOT NULL, "
      "PRIMARY KEY (CDFILIAL, CDVENDEDOR))",
      "CREATE TABLE VENDAREST (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT NULL, "
      "CDOPERADOR VARCHAR(12) REFERENCES OPERADOR (CDOPERADOR), CDVENDEDOR VARCHAR(4), "
      "NRVENDARESTAUX VARCHAR(10), DTHRABERMESA DATETIME, VRTOTAL NUMERIC(12,2), "
      "NRPESMESAVEN INTEGER, VRTAXA REAL, TXOBS TEXT, PRIMARY KEY (CDFILIAL, NRVENDAREST), "
      "FOREIGN KEY (CDFILIAL, CDVENDEDOR) REFERENCES VENDEDOR (CDFILIAL, CDVENDEDOR))",
      "CREATE TABLE COMANDAVEN (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT NULL, "
      "NRCOMANDA VARCHAR(10) NOT NULL, NRREQEXTCMD VARCHAR(10), "
      "PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA))",
      "CREATE TABLE ITCOMANDAVEN (CDFILIAL VARCHAR(4) NOT NULL, NRVENDAREST VARCHAR(10) NOT "
      "NULL, NRCOMANDA VARCHAR(10) NOT NULL, NRPRODCOMVEN VARCHAR(6) NOT NULL, "
      "NRSEQPRODCUP VARCHAR(10), CDSENHAPED VARCHAR(4), DTHRINCOMVEN DATETIME, "
      "PRIMARY KEY (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN))",
      "CREATE TABLE ZLVPROXCODIGO (CDFILIAL VARCHAR(4) NOT NULL, NMCONTADOR VARCHAR(40) NOT "
      "NULL, DTCONTADOR VARCHAR(10) NOT NULL DEFAULT '', NRULTIMO INTEGER NOT NULL, "
      "PRIMARY KEY (CDFILIAL, NMCONTADOR, DTCONTADOR))",
  };
  for (const char* sql : statements) db.Execute(sql, {});
}

void DriverTest::SetUp() {
  if (GetParam() == Driver::Odbc && !std::filesystem::exists(OdbcDriverPath())) {
    GTEST_SKIP() << "SQLite ODBC driver not installed: " << OdbcDriverPath();
  }
  file_ = dir_.path() / "store.db";
  db_ = Connect();
}

std::unique_ptr<Database> DriverTest::Connect() const {
  std::unique_ptr<Database> db = OpenDatabase(ConnectionString(GetParam(), file_));
  SetADODBSession(*db);
  return db;
}

}  // namespace zlv::test
