// An order's road as a channel sees it (GET /v1/orders/{id}): where the order is between the
// hub's queue and the store's till, made of what the hub did with it and what the store
// reported. The state only moves forward:
//
//   queued -> handed_out -> received -> open_at_store -> closed | cancelled
//
// - handed_out: a store's download took it (how many times, the last when);
// - received: the store wrote it and confirmed it (or uploaded it, its confirmation lost);
// - open_at_store: the store's upload names its own sale number and the hub answered "S";
// - closed / cancelled: the hub answered "D" to the store's upload, every order tab cancelled
//   at the store ("4") being "cancelled" and anything else "closed";
// - cancelled also when a channel's cancellation took the order out of the queue before the
//   store confirmed it.
//
// Two flags call for people: `stuck`, handed out three times and never received (the store
// keeps refusing it: its log and LOGSINCDLV say why), and `needs_reconciliation`, received more
// than ten minutes ago and never in the store's uploads.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "central/hub_store.h"

namespace zlv {

// The counts of the store view (HubStore::StorePresences) keep to the same two rules.
constexpr int kStuckAfterDownloads = 3;
constexpr double kReconcileAfterSeconds = 600;

std::string RoadState(const OrderRoadRecord& road);

// The products of the order's item rows, each once, in the order they come.
std::vector<std::string> OrderProducts(const OrderRoadRecord& road);

struct ProductProblemOfOrder {
  std::string product;
  ProductProblem problem;
};

nlohmann::json OrderRoadJson(const OrderRoadRecord& road,
                             const std::vector<ProductProblemOfOrder>& problems);

}  // namespace zlv
