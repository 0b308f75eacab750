// The orders of the benchmarks: every order has the same shape, so that a figure per order
// means the same at every backlog size: a new consumer, one order tab, five items each with
// one observation, and two payments (card and cash). Codes come from the store's master data,
// numbers from the central server's counters, as the reference server's own generator does.
//
// Not thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "central/hub_store.h"
#include "central/master_data.h"
#include "central/order_generator.h"
#include "central/store_schema.h"
#include "database/database.h"

namespace zlv::bench {

inline constexpr int kItemsPerOrder = 5;
inline constexpr int kPaymentsPerOrder = 2;

class FixedShapeOrders {
 public:
  // Master data and column layouts read from the store database.
  FixedShapeOrders(Database& store_db, std::string branch, std::string store);

  // A new order numbered from the central store's counters (call inside its transaction).
  GeneratedOrder Next(HubStore& central, DateTime now);
  // Adds `count` orders to the central store in one transaction.
  void AddTo(HubStore& central, int count, DateTime now);

 private:
  void Append(GeneratedOrder& order, int set, const std::map<std::string, Variant>& values);

  MasterData master_;
  std::string branch_, store_;
  Random random_{20260601};
  std::array<std::vector<FieldDef>, kDownloadSetCount> fields_;
  std::array<std::vector<bool>, kDownloadSetCount> required_;
  DateTime now_;
};

}  // namespace zlv::bench
