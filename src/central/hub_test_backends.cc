#include "central/hub_test_backends.h"

#include <memory>

#include "support/postgres_server.h"

namespace zlv::test {

std::string NewHubLocation(HubBackend backend, const std::filesystem::path& folder) {
  if (backend == HubBackend::kSqlite) return (folder / "central.db").string();
  // One server for the whole binary: starting one costs about a second, a database very little.
  static std::unique_ptr<PostgresServer> server;
  static int databases = 0;
  if (!server) server = std::make_unique<PostgresServer>();
  return server->CreateDatabase("hub_test_" + std::to_string(++databases));
}

}  // namespace zlv::test
