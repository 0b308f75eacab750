// StoreFixture: a real store database for the writers' tests. A temporary folder holds a
// SQLite store database made from db/schema.sqlite.sql and db/demo-seed.sql, the activity log,
// a fake clock and the process-wide values of the demo store's cash register; LogLines() reads
// back what the writers logged.
//
// Test thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "database/database.h"
#include "log/activity_log.h"
#include "store/services.h"
#include "support/temp_dir.h"

namespace zlv::test {

class StoreFixture {
 public:
  StoreFixture();

  Database& db() { return *db_; }
  Services& services() { return services_; }
  Globals& globals() { return globals_; }
  FakeClock& clock() { return clock_; }

  // The messages logged so far, in order, without their time stamps.
  std::vector<std::string> LogLines() const;
  // Whether some logged message equals the text.
  bool Logged(const std::string& message) const;

  // Rows of a query on the store database.
  DataPacket Rows(const std::string& sql, const std::vector<Variant>& params = {});
  int64_t Count(const std::string& sql, const std::vector<Variant>& params = {});
  // The one value of a one-row, one-column query; nullopt for no row.
  std::optional<std::string> Value(const std::string& sql, const std::vector<Variant>& params = {});

 private:
  TempDir dir_;
  FakeClock clock_;
  Globals globals_;
  std::unique_ptr<Database> db_;
  ActivityLog log_;
  Services services_;
};

// The demo store of the seed.
inline constexpr const char* kFilial = "0001";
inline constexpr const char* kLoja = "001";
inline constexpr const char* kCaixa = "001";

}  // namespace zlv::test
