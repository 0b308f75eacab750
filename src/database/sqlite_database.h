// SqliteDatabase: the embedded store database through libsqlite3.
//
// Every connection enforces foreign keys, runs in WAL mode and waits up to 5 s for a lock, so
// another program of the store reading the database does not break a run. A violated foreign
// key is reported in the shape of the store's SQL Server message (see foreign_key_message.h).
// Prepared statements are kept per SQL text for the life of the connection. Transactions take
// the write lock at BEGIN, because every transaction of the synchroniser writes and a
// deferred one could not be retried by the busy wait once it had read.
//
// Owns the sqlite3 handle and its prepared statements; one thread (the connection's).
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "database/database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zlv {

struct SqliteCloser {
  void operator()(sqlite3* db) const;
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* stmt) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Whether an (extended) result code says the database file itself can no longer be reached:
// any I/O error, a file that cannot be opened, is not a database, or was moved away.
bool SqliteCodeMeansConnectionLost(int code);

// Whether this build has the embedded driver (the Windows build has none: every store database
// is reached through ODBC there).
bool EmbeddedDatabaseAvailable();

class SqliteDatabase final : public Database {
 public:
  // Opens (creating when missing) the database file. Throws DatabaseError.
  explicit SqliteDatabase(const std::filesystem::path& path);
  // The progress handler holds the address of deadline_.
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  Dialect dialect() const override { return Dialect::Sqlite; }
  std::string dbms_name() const override { return "SQLite"; }
  std::string driver_name() const override { return "embutido"; }

  DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                   const QueryOptions& options = {}) override;
  // A text of several statements runs them in order, the values taken by their markers in turn.
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds = 30) override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;

  sqlite3* handle() const { return db_.get(); }

 private:
  // The cached statement for a one-statement text; nullptr when the text holds more. Once the
  // cache is full a new statement is prepared into *transient instead (evicting could
  // finalize a statement still in use further up the stack).
  sqlite3_stmt* Cached(const std::string& sql, SqliteStatement* transient);
  SqliteStatement PrepareOne(const char* sql, const char** tail) const;
  bool OnlyCommentsIn(const char* text) const;
  // Binds values from *next on, as many as the statement has markers.
  void Bind(sqlite3_stmt* stmt, const std::vector<Variant>& params, size_t* next) const;
  // Steps to the end; returns the rows changed.
  int64_t Run(sqlite3_stmt* stmt, const std::string& sql, const std::vector<Variant>& params);
  int64_t RunScript(const std::string& sql, const std::vector<Variant>& params);
  [[noreturn]] void Fail(int rc, const std::string& sql, const std::vector<Variant>& params);

  SqliteHandle db_;
  std::unordered_map<std::string, SqliteStatement> cache_;
  std::chrono::steady_clock::time_point deadline_{};  // zero: none
};

// Reads every row of a statement that has been bound and not yet stepped. Field types come
// from the declared column types, or, for an expression, from the values it returned.
// Returns the first error code other than SQLITE_ROW/SQLITE_DONE through *rc.
DataPacket ReadSqliteRows(sqlite3_stmt* stmt, const QueryOptions& options, int* rc);

}  // namespace zlv
