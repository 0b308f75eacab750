// OdbcDatabase: the store database through an ODBC driver manager (unixODBC here, Windows'
// own in the stores): SQL Server through its vendor's driver or FreeTDS, or SQLite through the
// SQLite ODBC driver.
//
// The dialect comes from the DBMS name the driver reports; a database that is neither SQL Server
// nor SQLite is refused at connection. With SQL Server, texts travel
// as UTF-16 (the wide calls) and are declared as varchar parameters, as the store's columns
// are, so the server compares them without converting the column; other drivers get UTF-8.
// Date-times bind as SQL_TIMESTAMP_STRUCT. Transactions switch auto-commit off until the
// commit or the roll-back. Prepared statements are kept per SQL text.
//
// Owns the environment, connection and statement handles; one thread (the connection's).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "database/database.h"

namespace zlv {

struct OdbcParam;

// One ODBC handle (SQLHENV, SQLHDBC or SQLHSTMT), freed with its own type.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  OdbcHandle(short type, void* handle) : type_(type), handle_(handle) {}
  ~OdbcHandle();
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  void* get() const { return handle_; }
  short type() const { return type_; }

 private:
  short type_ = 0;
  void* handle_ = nullptr;
};

class OdbcDatabase final : public Database {
 public:
  // How texts travel: by dialect (UTF-16 to SQL Server, UTF-8 elsewhere), or forced.
  enum class Texts { ByDialect, Utf8, Utf16 };

  // Connects without prompting. Throws DatabaseError with the driver's message.
  explicit OdbcDatabase(const std::string& connection_string, Texts texts = Texts::ByDialect);
  ~OdbcDatabase() override;
  OdbcDatabase(const OdbcDatabase&) = delete;
  OdbcDatabase& operator=(const OdbcDatabase&) = delete;

  Dialect dialect() const override { return dialect_; }
  std::string dbms_name() const override { return dbms_name_; }
  std::string driver_name() const override { return driver_name_; }

  DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                   const QueryOptions& options = {}) override;
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds = 30) override;

  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override { return in_transaction_; }

 private:
  // The cached statement for the text; once the cache is full, a new one is prepared into
  // *transient instead (evicting could free a statement still in use further up the stack).
  const OdbcHandle& Prepared(const std::string& sql, OdbcHandle* transient);
  // Binds and executes; the statement is left with its result open.
  void Run(const OdbcHandle& stmt, const std::string& sql, const std::vector<Variant>& params,
           int timeout_seconds, std::vector<OdbcParam>* bound);
  void SetAutoCommit(bool on);
  [[noreturn]] void Fail(const OdbcHandle& handle, const std::string& sql,
                         const std::vector<Variant>& params);

  OdbcHandle env_;
  OdbcHandle dbc_;
  bool connected_ = false;
  Dialect dialect_ = Dialect::Other;
  std::string dbms_name_;
  std::string driver_name_;
  bool wide_ = false;
  bool in_transaction_ = false;
  std::unordered_map<std::string, OdbcHandle> cache_;
};

// The dialect of the DBMS name a driver reports: SQL Server under any name that contains it
// (Microsoft's drivers, FreeTDS), SQLite through the SQLite ODBC driver. Any other database is
// refused with a DatabaseError naming it and its driver: the statements are written for those
// two, and another database given the SQLite texts would fail in ways that name neither.
Dialect OdbcDialectOf(std::string_view dbms_name, std::string_view driver_name);

// Windows' driver manager reads and writes narrow texts in the ANSI code page: a connection
// string with an accented password, data source or database name reaches the driver as other
// letters, and the driver's messages come back in that page. Its wide calls carry UTF-16 as
// written, so there the connection and every diagnostic go through them. unixODBC hands narrow
// texts on untouched (UTF-8, what the drivers here read), and keeps the narrow calls.
#ifdef _WIN32
inline constexpr bool kOdbcAlwaysWide = true;
#else
inline constexpr bool kOdbcAlwaysWide = false;
#endif

// The first error of a handle's diagnostics: its SQLSTATE and the text without the
// "[vendor][driver]" prefixes, the database's own words. Both empty when there is none.
struct OdbcError {
  std::string state;
  std::string message;
};
// wide asks for the wide call (always taken where kOdbcAlwaysWide).
OdbcError FirstOdbcError(const OdbcHandle& handle, bool wide);
// Whether a SQLSTATE says the link to the server is gone: class 08 (connection exception).
bool OdbcStateMeansConnectionLost(std::string_view state);
// Throws the error's message as ConnectionLostError or DatabaseError, by its SQLSTATE.
[[noreturn]] void ThrowOdbcError(const OdbcError& error);
std::string OdbcErrorMessage(const OdbcHandle& handle, bool wide);

// Reads every row of the open result of a statement.
DataPacket ReadOdbcRows(const OdbcHandle& stmt, bool wide, const QueryOptions& options);

}  // namespace zlv
