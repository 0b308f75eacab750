#include "central/hub_test_backends.h"

#include <memory>

#include "support/postgres_server.h"

namespace zlv::test {

std::string NewHubLocation(HubBackend backend, const std::filesystem::path& folder) {
  if (backend == HubBackend::kSqlite) return (folder / "central.db").string();
  // One server for the whole binary: starting one costs about a second, a database very little.
  // Its own empty database "hub" goes to the first test (CTest runs most test binaries one test
  // per process, where a database made for it would be a second one).
  static std::unique_ptr<PostgresServer> server;
  static int databases = 0;
  if (!server) {
    server = std::make_unique<PostgresServer>();
    return server->uri();
  }
  return server->CreateDatabase("hub_test_" + std::to_string(++databases));
}

}  // namespace zlv::test
