// PostgresServer: a throwaway PostgreSQL server for the hub's tests, from the Debian
// `postgresql` package (scripts/install-deps). The constructor makes a cluster with initdb in
// a new temporary folder, starts it with pg_ctl listening only on a Unix socket in that folder
// (so servers of tests running at the same time never meet), and creates the database "hub".
// The destructor stops the server and removes the folder with everything in it.
//
// PostgreSQL refuses to run as root: under root, initdb and the server run as the `postgres`
// user, which then owns the folder. Clients connect as the cluster's superuser `zlv` without
// a password (trust on the socket).
//
// A server that cannot be made or started throws std::runtime_error with the reason (the
// tool's own output), so a test that needs it fails saying why instead of passing.
//
// POSIX. For use on the test's own thread; the server itself takes any number of clients.
#pragma once

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace zlv::test {

class PostgresServer {
 public:
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // The libpq connection URI of the database "hub".
  const std::string& uri() const { return uri_; }
  // Creates another empty database; returns its libpq connection URI.
  std::string CreateDatabase(const std::string& name);
  // The folder holding the cluster, the socket and the logs.
  const std::filesystem::path& folder() const { return folder_.path(); }

  // From now on clients must give the superuser's password (on a URI, or the libpq way:
  // PGPASSWORD, a PGPASSFILE file).
  void RequirePassword(const std::string& password);

  // Ends the server at once, as a crash would, and starts it again on the same cluster.
  void Stop() noexcept;
  void Start();

 private:
  std::string UriOf(const std::string& database) const;

  TempDir folder_;
  std::filesystem::path bin_;
  bool running_ = false;
  std::string uri_;
};

}  // namespace zlv::test
