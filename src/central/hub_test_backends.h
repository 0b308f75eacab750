// The hub's back ends as a test parameter: a hub test written once runs on SQLite and on
// PostgreSQL. Each test gets a new empty database: an SQLite file in its own folder, or a
// database in the throwaway PostgreSQL server the test binary starts on first use and stops
// at its end (support/postgres_server.h).
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace zlv::test {

enum class HubBackend { kSqlite, kPostgres };

// Where OpenHubStore finds a new empty hub database. Throws when PostgreSQL cannot start.
std::string NewHubLocation(HubBackend backend, const std::filesystem::path& folder);

inline std::ostream& operator<<(std::ostream& out, HubBackend backend) {
  return out << (backend == HubBackend::kSqlite ? "Sqlite" : "Postgres");
}

}  // namespace zlv::test
