#include "database/connection_settings.h"

#include "database/connection_string.h"
#include "platform/config_key.h"

namespace zlv {

namespace {

// SQL Server: the statements compare dates written as dd/mm/yyyy texts (CONVERT style 103),
// the XML methods of the observation lists need ARITHABORT and the ANSI options on, and the
// insert error diagnosis reads the Portuguese wording of a violated key ("tabela").
constexpr const char* kSqlServerSession[] = {
    "SET LANGUAGE Brazilian",   "SET DATEFORMAT dmy",
    "SET ARITHABORT ON",        "SET ANSI_NULLS ON",
    "SET ANSI_WARNINGS ON",     "SET ANSI_PADDING ON",
    "SET QUOTED_IDENTIFIER ON", "SET CONCAT_NULL_YIELDS_NULL ON",
};

// SQLite: keys enforced; WAL so that a store program reading the file does not block the
// writer (nor the writer it); and a 5 s wait for a lock instead of failing at once.
constexpr const char* kSqliteSession[] = {
    "PRAGMA foreign_keys = ON",
    "PRAGMA journal_mode = WAL",
    "PRAGMA busy_timeout = 5000",
};

}  // namespace

std::string GetStringConexZlv(const std::string& /*unused*/, const ConfigKey& key,
                              const std::filesystem::path& exe_folder) {
  if (std::optional<std::string> value = key.Read("ConnectionString")) {
    if (value->find_first_not_of(" \t\r\n") != std::string::npos) return *value;
  }
  return SqliteConnectionString(exe_folder / "Dados" / "ZlvSinc.db");
}

void SetADODBSession(Database& db) {
  switch (db.dialect()) {
    case Dialect::SqlServer:
      for (const char* sql : kSqlServerSession) db.Execute(sql, {}, 0);
      break;
    case Dialect::Sqlite:
      // journal_mode answers with a row: read it as a query so that every driver accepts it.
      for (const char* sql : kSqliteSession) db.Query(sql, {});
      break;
    case Dialect::Other:
      break;
  }
}

}  // namespace zlv
