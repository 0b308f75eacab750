// A channel's order (the body of POST /v1/orders) turned into exactly the rows the store
// downloads, as the order generator makes them: the consumer, the sale, one order tab, its
// items, combos and observations, and the payments.
//
// Everything is checked before anything is made: required fields, texts representable in
// Windows-1252 and no longer than the store's column, amounts in cents whose totals add up,
// quantities above zero, the branch's settings for what the order needs. A failure names the
// offending field as a JSON pointer and the rule it broke; nothing is half made.
//
// The order, in JSON (amounts are numbers with at most two decimals):
//   external_id   the channel's id of the order (required; the hub keeps it unique per channel)
//   display_id    the number staff and the customer know it by (NRCOMANDAEXT)
//   origin        the channel's origin code (IDORGCMDVENDA), else the branch's default
//   branch, store
//   customer      {name, phone, email, document, address: {street, number, complement,
//                 district, state, postal_code, reference, country_code, municipality_code}};
//                 the address is required unless pickup is true
//   pickup        true when the customer fetches the order at the store
//   items         [{product, quantity, unit_price, discount, notes,
//                   observations: [{group, code}],
//                   components: [{product, quantity, unit_price, notes}]}]
//                 an item with components is a combo: `product` is the combo's code and the
//                 components, priced, are what the store bills
//   payments      [{method: cash|card|voucher|online, amount, change_for}] (change_for: cash)
//   delivery_fee, discount (of the whole order), notes
//   scheduled_for RFC 3339 with its offset; the order is held until its production time
// The payments must add up to the items (less their discounts) plus the fee less the discount.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "central/hub_store.h"
#include "central/order_generator.h"
#include "central/store_schema.h"

namespace zlv {

// A rule the order breaks: `pointer` names the field ("/items/0/quantity"; "" for the order as
// a whole), what() says the rule.
class ChannelOrderError : public std::runtime_error {
 public:
  ChannelOrderError(std::string pointer, const std::string& rule)
      : std::runtime_error(rule), pointer_(std::move(pointer)) {}
  const std::string& pointer() const { return pointer_; }

 private:
  std::string pointer_;
};

struct ChannelOrderContext {
  const StoreSchema& schema;
  const BranchSettings& settings;
  std::string store;  // the store code the order is for (its branch is settings.branch)
  DateTime now;       // the store's local time
  // The next value of a named counter: "NRVENDAREST", "NRCOMANDA", "CDCONSUMIDOR".
  std::function<int64_t(const std::string&)> next_number;
  // An RFC 3339 time as the store's local time; nullopt when it is not one.
  std::function<std::optional<DateTime>(const std::string&)> store_time;
  // The branch's known consumers: the customer is found among them by phone (and updated), or
  // added.
  std::vector<ConsumerRecord>& consumers;
};

// Throws ChannelOrderError.
GeneratedOrder BuildChannelOrder(const nlohmann::json& order, ChannelOrderContext& context);

}  // namespace zlv
