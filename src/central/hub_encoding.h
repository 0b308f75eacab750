// What the hub's back ends keep alike: the first value of each number counter, and the values
// they store as text (a consumer's columns and an order's download packets, as JSON).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "central/generator_people.h"
#include "central/hub_store.h"
#include "central/order_generator.h"
#include "data/data_packet.h"

namespace zlv {

// The value NextNumber gives a counter first.
int64_t FirstNumber(const std::string& counter);

std::string ConsumerValuesText(const ConsumerRecord& consumer);
ConsumerRecord ConsumerFromText(std::string client, std::string consumer,
                                const std::string& values);
// The consumer's phone as its own column keeps it for the look-up by phone; Null without one.
Variant ConsumerPhone(const ConsumerRecord& consumer);

std::string OrderPacketsText(const GeneratedOrder& order);
std::vector<DataPacket> OrderPacketsFromText(const std::string& text);
// A cell of the order's sale row; Null when the column or the row is missing.
Variant OrderSaleValue(const GeneratedOrder& order, const char* column);

// The order's road from the cells of the back ends' road query, in its column order: branch,
// store, state, downloads, queued at, last download at, received at, received age (s),
// channel, external id, store sale, tab states, answer, cancellation state, reason and
// requested at, packets. `cell` gives a column's text, nullopt for NULL. The status history is
// the back end's to add.
OrderRoadRecord OrderRoadFromCells(const std::string& sale,
                                   const std::function<std::optional<std::string>(int)>& cell);

// A branch's settings and a key's branches, kept as JSON text by both back ends.
std::string BranchSettingsText(const BranchSettings& settings);
BranchSettings BranchSettingsFromText(std::string branch, const std::string& text);
std::string BranchesText(const std::vector<std::string>& branches);
std::vector<std::string> BranchesFromText(const std::string& text);

}  // namespace zlv
