// Test helpers of the store database tests: a fresh database file opened through either
// driver with the session set-up applied, and the small store tables the tests write. The
// ODBC side runs for real through unixODBC and the SQLite ODBC driver, named by its path in the
// connection string ($ZLV_SQLITE_ODBC_DRIVER overrides the path).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "database/database.h"
#include "support/temp_dir.h"

namespace zlv {
// Readable values in failure messages.
void PrintTo(const Variant& value, std::ostream* out);
}  // namespace zlv

namespace zlv::test {

enum class Driver { Sqlite, Odbc };

std::string ConnectionString(Driver driver, const std::filesystem::path& file);
std::string DriverName(const ::testing::TestParamInfo<Driver>& info);

// OPERADOR, VENDEDOR (per branch), VENDAREST with a key to each, COMANDAVEN, ITCOMANDAVEN and
// the number counters ZLVPROXCODIGO.
void CreateStoreTables(Database& db);

// A test run on each driver: db_ is connected to a new file in a temporary folder.
class DriverTest : public ::testing::TestWithParam<Driver> {
 protected:
  void SetUp() override;
  // Another connection to the same file, through the same driver.
  std::unique_ptr<Database> Connect() const;

  TempDir dir_{"zlv_database"};
  std::filesystem::path file_;
  std::unique_ptr<Database> db_;
};

#define ZLV_ON_BOTH_DRIVERS(suite)                                                               \
  INSTANTIATE_TEST_SUITE_P(                                                                      \
      Drivers, suite, ::testing::Values(::zlv::test::Driver::Sqlite, ::zlv::test::Driver::Odbc), \
      ::zlv::test::DriverName)

}  // namespace zlv::test
