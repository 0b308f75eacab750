#include "database/sqlite_database.h"

#include <sqlite3.h>

#include <cctype>

#include "database/foreign_key_message.h"
#include "database/sqlite_functions.h"

namespace zlv {

namespace {

// Long enough for a store program's own write transaction to finish, short enough that a
// stuck lock fails the order (retried on the next tick) instead of stalling the run.
constexpr int kBusyTimeoutMs = 5000;
// The statements are a fixed catalogue, so the cache stays small; the bound only guards
// against a caller building texts on the fly.
constexpr size_t kMaxCachedStatements = 512;
// Virtual machine steps between two looks at the clock while a statement runs.
constexpr int kProgressSteps = 10000;

bool IsBlank(const char* text) {
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  return *text == '\0';
}

int OnProgress(void* context) {
  const auto* deadline = static_cast<const std::chrono::steady_clock::time_point*>(context);
  return (*deadline != std::chrono::steady_clock::time_point{} &&
          std::chrono::steady_clock::now() > *deadline)
             ? 1
             : 0;
}

// Leaves a cached statement ready for its next use, whatever way the current one ends.
class ResetOnExit {
 public:
  explicit ResetOnExit(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~ResetOnExit() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

// A failure of the database file itself is the lost connection; the message stays the
// database's own.
[[noreturn]] void ThrowSqlite(int code, const std::string& message) {
  if (SqliteCodeMeansConnectionLost(code)) throw ConnectionLostError(message);
  throw DatabaseError(message);
}

}  // namespace

bool SqliteCodeMeansConnectionLost(int code) {
  switch (code & 0xff) {  // the primary code of an extended one
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
      return true;
    default:
      return code == SQLITE_READONLY_DBMOVED;
  }
}

void SqliteCloser::operator()(sqlite3* db) const { sqlite3_close_v2(db); }
void SqliteFinalizer::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

bool EmbeddedDatabaseAvailable() { return true; }

SqliteDatabase::SqliteDatabase(const std::filesystem::path& path) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.string().c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) {
    const std::string reason = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
    ThrowSqlite(rc, "Não foi possível abrir o banco de dados " + path.string() + ": " + reason);
  }
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);
  sqlite3_progress_handler(raw, kProgressSteps, OnProgress, &deadline_);
  Execute("PRAGMA journal_mode = WAL", {}, 0);
  RegisterSqliteFunctions(raw);
}

SqliteStatement SqliteDatabase::PrepareOne(const char* sql, const char** tail) const {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db_.get(), sql, -1, &raw, tail);
  SqliteStatement stmt(raw);
  if (rc != SQLITE_OK) ThrowSqlite(rc, sqlite3_errmsg(db_.get()));
  return stmt;
}

bool SqliteDatabase::OnlyCommentsIn(const char* text) const {
  // sqlite3_prepare gives no statement for a text of blanks and comments. A further statement
  // may not prepare yet (it may use a table the first one creates): it is one all the same.
  while (!IsBlank(text)) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), text, -1, &raw, &text);
    SqliteStatement stmt(raw);
    if (rc != SQLITE_OK || stmt != nullptr) return false;
  }
  return true;
}

sqlite3_stmt* SqliteDatabase::Cached(const std::string& sql, SqliteStatement* transient) {
  if (auto it = cache_.find(sql); it != cache_.end()) return it->second.get();
  const char* tail = nullptr;
  SqliteStatement stmt = PrepareOne(sql.c_str(), &tail);
  if (stmt == nullptr || !OnlyCommentsIn(tail)) return nullptr;
  if (cache_.size() >= kMaxCachedStatements) {
    *transient = std::move(stmt);
    return transient->get();
  }
  return cache_.emplace(sql, std::move(stmt)).first->second.get();
}

void SqliteDatabase::Bind(sqlite3_stmt* stmt, const std::vector<Variant>& params,
                          size_t* next) const {
  const int markers = sqlite3_bind_parameter_count(stmt);
  if (params.size() - *next < static_cast<size_t>(markers)) {
    throw DatabaseError("O comando espera " + std::to_string(markers) + " parâmetros e recebeu " +
                        std::to_string(params.size() - *next));
  }
  for (int i = 1; i <= markers; ++i) {
    const Variant& value = params[(*next)++];
    int rc = SQLITE_OK;
    switch (value.type()) {
      case Variant::Type::Empty:
      case Variant::Type::Null:
        rc = sqlite3_bind_null(stmt, i);
        break;
      case Variant::Type::Text:
      case Variant::Type::DateTime: {  // DateTime: ISO text, the database's storage form
        const std::string text = value.AsText();
        rc = sqlite3_bind_text64(stmt, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      }
      case Variant::Type::Integer:
        rc = sqlite3_bind_int64(stmt, i, value.AsInteger());
        break;
      case Variant::Type::Float:
        rc = sqlite3_bind_double(stmt, i, value.AsFloat());
        break;
      case Variant::Type::Boolean:
        rc = sqlite3_bind_int(stmt, i, value.AsBoolean() ? 1 : 0);
        break;
      case Variant::Type::Array:
      case Variant::Type::Packet:
        throw DatabaseError("Parâmetro " + std::to_string(i) +
                            ": uma lista ou um pacote não pode ser gravado numa coluna");
    }
    if (rc != SQLITE_OK) ThrowSqlite(rc, sqlite3_errmsg(db_.get()));
  }
}

int64_t SqliteDatabase::Run(sqlite3_stmt* stmt, const std::string& sql,
                            const std::vector<Variant>& params) {
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) Fail(rc, sql, params);
  return sqlite3_changes64(db_.get());
}

int64_t SqliteDatabase::RunScript(const std::string& sql, const std::vector<Variant>& params) {
  const char* rest = sql.c_str();
  size_t next = 0;
  int64_t changed = 0;
  while (!IsBlank(rest)) {
    const char* tail = nullptr;
    SqliteStatement stmt = PrepareOne(rest, &tail);
    rest = tail;
    if (stmt == nullptr) continue;
    Bind(stmt.get(), params, &next);
    changed = Run(stmt.get(), sql, params);
  }
  return changed;
}

int64_t SqliteDatabase::Execute(const std::string& sql, const std::vector<Variant>& params,
                                int timeout_seconds) {
  deadline_ = timeout_seconds > 0
                  ? std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds)
                  : std::chrono::steady_clock::time_point{};
  SqliteStatement transient;
  sqlite3_stmt* stmt = Cached(sql, &transient);
  if (stmt == nullptr) return RunScript(sql, params);
  ResetOnExit reset(stmt);
  size_t next = 0;
  Bind(stmt, params, &next);
  return Run(stmt, sql, params);
}

DataPacket SqliteDatabase::Query(const std::string& sql, const std::vector<Variant>& params,
                                 const QueryOptions& options) {
  deadline_ = options.timeout_seconds > 0
                  ? std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds)
                  : std::chrono::steady_clock::time_point{};
  SqliteStatement transient;
  sqlite3_stmt* stmt = Cached(sql, &transient);
  if (stmt == nullptr) throw DatabaseError("A consulta deve ter um único comando: " + sql);
  ResetOnExit reset(stmt);
  size_t next = 0;
  Bind(stmt, params, &next);
  int rc = SQLITE_DONE;
  DataPacket packet = ReadSqliteRows(stmt, options, &rc);
  if (rc != SQLITE_DONE) Fail(rc, sql, params);
  return packet;
}

void SqliteDatabase::Fail(int rc, const std::string& sql, const std::vector<Variant>& params) {
  std::string message = sqlite3_errmsg(db_.get());
  if (rc == SQLITE_INTERRUPT) message = "Query timeout expired";
  if (rc == SQLITE_CONSTRAINT_FOREIGNKEY) {
    deadline_ = {};
    if (auto described = DescribeForeignKeyFailure(*this, sql, params)) message = *described;
  }
  ThrowSqlite(rc, message);
}

void SqliteDatabase::Begin() { Execute("BEGIN IMMEDIATE", {}, 0); }
void SqliteDatabase::Commit() { Execute("COMMIT", {}, 0); }
void SqliteDatabase::Rollback() { Execute("ROLLBACK", {}, 0); }
bool SqliteDatabase::InTransaction() const { return sqlite3_get_autocommit(db_.get()) == 0; }

}  // namespace zlv
