#include "central/order_road.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "central/order_layouts.h"
#include "sync/protocol_json.h"

namespace zlv {

namespace {

using json = nlohmann::json;

json TextOrNull(const std::optional<std::string>& text) {
  return text ? json(*text) : json(nullptr);
}

// Every order tab of the sale cancelled at the store: its states, comma-separated, all "4".
bool AllTabsCancelled(const std::string& states) {
  std::stringstream in(states);
  std::string state;
  bool any = false;
  while (std::getline(in, state, ',')) {
    if (state != "4") return false;
    any = true;
  }
  return any;
}

}  // namespace

std::string RoadState(const OrderRoadRecord& road) {
  if (road.answer == "D")
    return AllTabsCancelled(road.tab_states.value_or("")) ? "cancelled" : "closed";
  if (road.state == "WITHDRAWN") return "cancelled";
  if (road.answer == "S") return "open_at_store";
  if (road.state == "CONFIRMED" || road.local_sale) return "received";
  return road.downloads > 0 ? "handed_out" : "queued";
}

std::vector<std::string> OrderProducts(const OrderRoadRecord& road) {
  std::vector<std::string> products;
  if (road.sets.size() <= kItComandaVen) return products;
  const DataPacket& items = road.sets[kItComandaVen];
  const int column = items.FieldIndex("CDPRODUTO");
  if (column < 0) return products;
  for (const auto& row : items.rows) {
    const std::string product = row[static_cast<std::size_t>(column)].AsText();
    if (!product.empty() &&
        std::find(products.begin(), products.end(), product) == products.end()) {
      products.push_back(product);
    }
  }
  return products;
}

json OrderRoadJson(const OrderRoadRecord& road,
                   const std::vector<ProductProblemOfOrder>& problems) {
  const bool received = road.state == "CONFIRMED" || road.local_sale.has_value();
  json answer = {
      {"id", road.sale},
      {"branch", road.branch},
      {"store", road.store},
      {"channel", TextOrNull(road.channel)},
      {"external_id", TextOrNull(road.external_id)},
      {"state", RoadState(road)},
      {"queued_at", TextOrNull(road.queued_at)},
      {"handed_out", {{"count", road.downloads}, {"last_at", TextOrNull(road.last_download_at)}}},
      {"received_at", TextOrNull(road.received_at)},
      {"store_sale", TextOrNull(road.local_sale)},
      {"store_answer", TextOrNull(road.answer)},
      {"stuck", road.state == "PENDING" && !received && road.downloads >= kStuckAfterDownloads},
      {"needs_reconciliation", road.state == "CONFIRMED" && !road.local_sale &&
                                   road.received_age_s.value_or(0) > kReconcileAfterSeconds},
      {"cancellation", nullptr},
      {"status_history", json::array()},
      {"product_problems", json::array()},
  };
  if (road.cancel_state) {
    static const std::map<std::string, std::string> kCancelStates = {
        {"DONE", "done"}, {"PENDING", "pending"}, {"CONFIRMED", "confirmed"}};
    const auto named = kCancelStates.find(*road.cancel_state);
    answer["cancellation"] = {
        {"state", named == kCancelStates.end() ? *road.cancel_state : named->second},
        {"reason", TextOrNull(road.cancel_reason)},
        {"requested_at", TextOrNull(road.cancel_requested_at)}};
  }
  for (const std::string& row : road.history)
    answer["status_history"].push_back(ParseJsonText(row));
  for (const auto& [product, problem] : problems) {
    answer["product_problems"].push_back(
        {{"product", product}, {"arvprod", problem.arvprod}, {"message", problem.message}});
  }
  return answer;
}

}  // namespace zlv
