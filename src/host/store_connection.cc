#include "host/store_connection.h"

#include "storedb/connection.h"

namespace zlv {

namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

// The file of an embedded database connection string; empty for anything else (an ODBC
// string, an in-memory or URI database).
std::filesystem::path EmbeddedFile(const std::string& connection_string) {
  if (!connection_string.starts_with(kSqlitePrefix)) return {};
  const std::string rest = connection_string.substr(kSqlitePrefix.size());
  if (rest.empty() || rest == ":memory:" || rest.starts_with("file:")) return {};
  return rest;
}

}  // namespace

StoreConnection::StoreConnection(const ConfigKey& key, std::filesystem::path exe_folder)
    : key_(key), exe_folder_(std::move(exe_folder)) {}

void StoreConnection::Connect() {
  db_.reset();
  const std::string connection_string = GetStringConexZlv("", key_, exe_folder_);
  if (const std::filesystem::path file = EmbeddedFile(connection_string); !file.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      throw DatabaseError("O banco de dados da loja não existe: " + file.string());
    }
  }
  std::unique_ptr<Database> db = OpenDatabase(connection_string);
  SetADODBSession(*db);
  db_ = std::move(db);
}

void StoreConnection::Disconnect() { db_.reset(); }

void StoreConnection::Reconnect() {
  Disconnect();
  Connect();
}

Database& StoreConnection::Open() const {
  if (!db_) throw DatabaseError("Falha de conexão: banco de dados da loja desconectado");
  return *db_;
}

Dialect StoreConnection::dialect() const { return Open().dialect(); }
std::string StoreConnection::dbms_name() const { return Open().dbms_name(); }

DataPacket StoreConnection::Query(const std::string& sql, const std::vector<Variant>& params,
                                  const QueryOptions& options) {
  return Open().Query(sql, params, options);
}

int64_t StoreConnection::Execute(const std::string& sql, const std::vector<Variant>& params,
                                 int timeout_seconds) {
  return Open().Execute(sql, params, timeout_seconds);
}

void StoreConnection::Begin() { Open().Begin(); }
void StoreConnection::Commit() { Open().Commit(); }
void StoreConnection::Rollback() { Open().Rollback(); }
bool StoreConnection::InTransaction() const { return db_ && db_->InTransaction(); }

}  // namespace zlv
