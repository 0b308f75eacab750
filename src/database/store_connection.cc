#include "database/store_connection.h"

#include <exception>

#include "bizlib/log_text.h"
#include "database/connection_settings.h"
#include "database/connection_string.h"
#include "database/sqlite_database.h"
#include "log/activity_log.h"

namespace zlv {

namespace {

// The file of an embedded database connection string; empty for anything else (an ODBC
// string, an in-memory or URI database).
std::filesystem::path EmbeddedFile(const std::string& connection_string) {
  const std::optional<std::string> target = SqliteTarget(connection_string);
  if (!target || target->empty() || *target == ":memory:" || target->starts_with("file:")) {
    return {};
  }
  return *target;
}

}  // namespace

StoreConnection::StoreConnection(const ConfigKey& key, std::filesystem::path exe_folder)
    : StoreConnection([&key, exe_folder = std::move(exe_folder)] {
        const std::string connection_string = GetStringConexZlv("", key, exe_folder);
        // Without the embedded driver, opening it says what to configure instead.
        if (const std::filesystem::path file = EmbeddedFile(connection_string);
            !file.empty() && EmbeddedDatabaseAvailable()) {
          std::error_code ec;
          if (!std::filesystem::is_regular_file(file, ec)) {
            throw DatabaseError("O banco de dados da loja não existe: " + file.string());
          }
        }
        return OpenDatabase(connection_string);
      }) {}

StoreConnection::StoreConnection(Opener opener) : opener_(std::move(opener)) {}

void StoreConnection::Connect() {
  db_.reset();
  std::unique_ptr<Database> db = opener_();
  SetADODBSession(*db);
  db_ = std::move(db);
  lost_ = false;
}

void StoreConnection::Disconnect() {
  db_.reset();
  lost_ = false;
}

void StoreConnection::Reconnect() {
  Disconnect();
  Connect();
}

Database& StoreConnection::Open() const {
  if (!db_) throw ConnectionLostError("Falha de conexão: banco de dados da loja desconectado");
  return *db_;
}

template <typename Call>
auto StoreConnection::Noting(Call call) -> decltype(call(std::declval<Database&>())) {
  try {
    return call(Open());
  } catch (const ConnectionLostError&) {
    lost_ = true;
    throw;
  }
}

Dialect StoreConnection::dialect() const { return Open().dialect(); }
std::string StoreConnection::dbms_name() const { return Open().dbms_name(); }
std::string StoreConnection::driver_name() const { return Open().driver_name(); }

DataPacket StoreConnection::Query(const std::string& sql, const std::vector<Variant>& params,
                                  const QueryOptions& options) {
  return Noting([&](Database& db) { return db.Query(sql, params, options); });
}

int64_t StoreConnection::Execute(const std::string& sql, const std::vector<Variant>& params,
                                 int timeout_seconds) {
  return Noting([&](Database& db) { return db.Execute(sql, params, timeout_seconds); });
}

void StoreConnection::Begin() {
  Noting([](Database& db) { db.Begin(); });
}
void StoreConnection::Commit() {
  Noting([](Database& db) { db.Commit(); });
}
void StoreConnection::Rollback() {
  Noting([](Database& db) { db.Rollback(); });
}
bool StoreConnection::InTransaction() const { return db_ && db_->InTransaction(); }

bool RestoreStoreConnection(StoreConnection& connection, ActivityLog& log) {
  if (connection.Usable()) return true;
  log.GravaLog("adcSincronismo: reconectando ao banco de dados da loja");
  try {
    connection.Reconnect();
  } catch (const std::exception& e) {
    log.GravaLog(std::string("adcSincronismo: Erro -> ") + LogText(e.what()));
    return false;
  }
  log.GravaLog("adcSincronismo: conectado ao banco de dados da loja");
  log.GravaLog(StoreDatabaseLine(connection));
  return true;
}

std::string StoreDatabaseLine(const Database& db) {
  const char* dialect = "outro";
  switch (db.dialect()) {
    case Dialect::SqlServer:
      dialect = "SQL Server";
      break;
    case Dialect::Sqlite:
      dialect = "SQLite";
      break;
    case Dialect::Other:
      break;
  }
  return "adcSincronismo: banco de dados " + db.dbms_name() + " (driver " + db.driver_name() +
         "), dialeto " + dialect;
}

}  // namespace zlv
