// Test helper: a new store database file created from db/schema.sqlite.sql and, when asked,
// filled with the demo store of db/demo-seed.sql (docs/schema.md lists its codes), opened through
// the SQLite driver with the session set-up applied, and without waiting for the disk on each
// write (":memory:" gives one in memory). For tests of anything that reads or writes
// the store database; one connection, used from the test's thread.
#pragma once

#include <filesystem>
#include <memory>

#include "database/database.h"

namespace zlv::test {

enum class Seed { kDemoStore, kEmpty };

std::unique_ptr<Database> OpenDemoStore(const std::filesystem::path& file,
                                        Seed seed = Seed::kDemoStore);

// Runs a SQL script file (statements separated by ';', no parameters) on the connection.
void RunSqlFile(Database& db, const std::filesystem::path& script);

}  // namespace zlv::test
