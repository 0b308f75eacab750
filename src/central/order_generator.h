// OrderGenerator: realistic delivery orders for one store, as the central server holds them
// for download: a consumer (new, or known and updated), one or two order tabs, items with
// combos, weighed products, observations, compositions and their observations, loyalty
// points, payments with change and vouchers, marketplace origins with their external numbers,
// and scheduled orders ("ENC_" tabs with DTHRAGENDADA).
//
// Codes come from the store's master data, numbers from the caller's counters, so the orders
// fit the store they are meant for. Deterministic for a given seed, master data and counters.
// Not thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "central/generator_people.h"
#include "central/master_data.h"
#include "central/order_layouts.h"
#include "central/store_schema.h"

namespace zlv {

struct GeneratedOrder {
  std::string branch, store;
  std::string sale;  // the central NRVENDAREST
  bool scheduled = false;
  // This order's rows of each download set (the cancellation set stays empty).
  std::array<DataPacket, kDownloadSetCount> sets;
};

class OrderGenerator {
 public:
  // next_number(counter) returns the next value of a named counter ("NRVENDAREST",
  // "NRCOMANDA", "CDCONSUMIDOR"). `known` are consumers of earlier orders of the branch.
  OrderGenerator(const MasterData& master, const StoreSchema& schema, std::string branch,
                 std::string store, uint64_t seed,
                 std::function<int64_t(const std::string&)> next_number,
                 std::vector<ConsumerRecord> known);

  GeneratedOrder Next(DateTime now, bool scheduled);
  // The known consumers and those created since, as they now are, to be kept for later runs.
  const std::vector<ConsumerRecord>& consumers() const { return consumers_; }

 private:
  ConsumerRecord& PickConsumer(DateTime now);
  void AddTab(GeneratedOrder& order, const ConsumerRecord& consumer, DateTime now, bool scheduled,
              const std::string& origin, double& total);
  void AddItems(GeneratedOrder& order, const std::string& tab, bool points, double& total);
  void AddComposition(GeneratedOrder& order, const std::map<std::string, Variant>& item_keys,
                      std::vector<const MasterProduct*> parts);
  void AddPayments(GeneratedOrder& order, const ConsumerRecord& consumer, DateTime now,
                   const std::string& origin, double total);
  void Append(GeneratedOrder& order, int set, const std::map<std::string, Variant>& values);
  std::string Number(const std::string& counter) { return std::to_string(next_number_(counter)); }

  const MasterData& master_;
  std::string branch_, store_;
  Random random_;
  std::function<int64_t(const std::string&)> next_number_;
  std::vector<ConsumerRecord> consumers_;
  DateTime now_;        // of the order being made
  std::string seller_;  // of the order being made
  std::array<std::vector<FieldDef>, kDownloadSetCount> fields_;
  // Per set and field: NOT NULL at the store, so a value the generator has none for gets a
  // neutral one instead of failing the insert.
  std::array<std::vector<bool>, kDownloadSetCount> required_;
};

}  // namespace zlv
