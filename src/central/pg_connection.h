// PgConnection: one libpq connection to the hub's PostgreSQL database, and PgResult, the rows
// of one statement. Both own their libpq handle.
//
// Values travel as text both ways (a parameter is a text or SQL NULL); the statements say the
// types with casts where PostgreSQL cannot infer them. A failure throws DatabaseError with the
// server's message, ConnectionLostError when the connection itself is gone.
//
// The location is a libpq URI ("postgresql://..."). Its password, when it carries one, never
// appears in an error text: libpq quotes pieces of a URI it cannot read, so every message that
// leaves this file has the password replaced by *****. A password can also come the libpq way,
// from PGPASSWORD or the PGPASSFILE file, and stays out of the URI altogether.
//
// One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace zlv {

using PgParam = std::optional<std::string>;

class PgResult {
 public:
  explicit PgResult(pg_result* result);

  int rows() const;
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;  // "" for NULL
  std::optional<std::string> OptionalText(int row, int column) const;
  int64_t Integer(int row, int column) const;

 private:
  friend class PgConnection;
  struct Free {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, Free> result_;
};

class PgConnection {
 public:
  // Connects; throws DatabaseError with the reason (without the password).
  explicit PgConnection(const std::string& uri);

  // Makes the connection again (the server restarted, the network dropped it). Throws
  // DatabaseError when it cannot be made.
  void Reconnect();

  // Runs one statement (several, separated by semicolons, when there are no parameters).
  PgResult Exec(const std::string& sql, const std::vector<PgParam>& params = {});

  // The message with every form of the URI's password replaced by *****.
  static std::string Redacted(std::string message, const std::string& uri);

 private:
  // Throws ConnectionLostError when the connection is gone (or `lost`), else DatabaseError.
  [[noreturn]] void Fail(const std::string& what, bool lost = false) const;

  struct Finish {
    void operator()(pg_conn* connection) const;
  };
  std::string uri_;
  std::unique_ptr<pg_conn, Finish> connection_;
};

}  // namespace zlv
