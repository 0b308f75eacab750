// Database: one connection to the store database. Two drivers behind one interface: SQLite
// (the embedded default) and ODBC (SQL Server in the stores). The connection string picks
// the driver: "sqlite:<path>" opens SQLite, anything else is an ODBC connection string.
//
// Statement texts reach a driver with positional '?' markers and one value per marker
// (NamedStatement does the naming). Values bind by their variant type: text, integer, float,
// date-time (as a date-time value, never as regional text), boolean, Null/Empty as NULL.
// A failed statement throws DatabaseError carrying the database's own message text; when the
// driver says the link to the database itself is gone (the server went away, the file cannot
// be read any more), the failure is a ConnectionLostError, with the same text: the statement
// may well succeed once the connection is made again.
//
// One connection belongs to one thread (the main thread).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/data_packet.h"

namespace zlv {

class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decided by each driver from its own codes (SqliteCodeMeansConnectionLost,
// OdbcStateMeansConnectionLost); never a busy or locked database, which clears by itself.
class ConnectionLostError : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

enum class Dialect { SqlServer, Sqlite, Other };

struct QueryOptions {
  bool decimals_as_float = false;  // numeric/decimal columns come back as Float
  int timeout_seconds = 30;        // 0: none
};

class Database {
 public:
  virtual ~Database() = default;

  virtual Dialect dialect() const = 0;
  virtual std::string dbms_name() const = 0;
  // The driver that reached it, as the driver names itself.
  virtual std::string driver_name() const = 0;

  // Runs a SELECT; every row comes back in a packet whose fields carry the result's column
  // names and types.
  virtual DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                           const QueryOptions& options = {}) = 0;
  // Runs an INSERT, UPDATE, DELETE or other statement; returns the rows it changed.
  virtual int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                          int timeout_seconds = 30) = 0;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
};

// Throws DatabaseError when the connection cannot be made.
std::unique_ptr<Database> OpenDatabase(const std::string& connection_string);

}  // namespace zlv
