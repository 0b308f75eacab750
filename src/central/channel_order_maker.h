// ChannelOrderMaker: realistic orders as a channel sends them to the hub's API (the JSON of
// channel_order.h), for one store: customers from the people generator (new ones, and some
// coming back with the same phone), items, combos and observations from the store's master
// data at its prices, marketplace origins with their own numbers, a delivery fee, an order
// discount, payments that add up (cash with change, card, vouchers, online), and scheduled
// orders.
//
// Deterministic for a given seed and master data: the same run makes the same orders, so a
// channel that sends them again gets the hub's first answers back. Not thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "central/generator_people.h"
#include "central/master_data.h"

namespace zlv {

class ChannelOrderMaker {
 public:
  ChannelOrderMaker(const MasterData& master, std::string branch, std::string store, uint64_t seed);

  // The next order under the channel's id `external_id`. With `scheduled_after` (Unix seconds,
  // normally now) it is scheduled for one to three hours later, on the quarter hour, which a
  // second run made soon after gives again.
  nlohmann::json Next(const std::string& external_id, std::optional<int64_t> scheduled_after);

 private:
  nlohmann::json Customer();
  // Adds the items, returning their amount in cents (less their discounts).
  int64_t AddItems(nlohmann::json& items);
  nlohmann::json Payments(int64_t total_cents, bool marketplace);

  const MasterData& master_;
  std::string branch_, store_;
  Random random_;
  std::vector<nlohmann::json> customers_;  // made so far: some order again
  int made_ = 0;
};

// "2026-12-09T21:00:00Z".
std::string Rfc3339Utc(int64_t unix_seconds);

}  // namespace zlv
