// An order's state and flags from what the hub and its store recorded.
#include "central/order_road.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

OrderRoadRecord Record(const char* state, int downloads, std::optional<std::string> local_sale,
                       std::optional<std::string> answer, const char* tabs = "3") {
  OrderRoadRecord road;
  road.state = state;
  road.downloads = downloads;
  road.local_sale = std::move(local_sale);
  road.answer = std::move(answer);
  road.tab_states = tabs;
  return road;
}

TEST(OrderRoad, StatesFollowTheFactsAndNeverGoBack) {
  struct Case {
    OrderRoadRecord road;
    const char* state;
  };
  const std::vector<Case> cases = {
      {Record("PENDING", 0, {}, {}), "queued"},
      {Record("PENDING", 2, {}, {}), "handed_out"},
      // Its confirmation lost, the store's upload shows it has the order.
      {Record("PENDING", 1, "12", "S"), "open_at_store"},
      {Record("CONFIRMED", 1, {}, {}), "received"},
      {Record("CONFIRMED", 1, "12", "S"), "open_at_store"},
      {Record("CONFIRMED", 1, "12", "D", "X,5"), "closed"},
      {Record("CONFIRMED", 1, "12", "D", "4,4"), "cancelled"},
      // Withdrawn from the queue: cancelled, even once the store reports having it open.
      {Record("WITHDRAWN", 1, "12", "S"), "cancelled"},
      {Record("WITHDRAWN", 1, "12", "D", "X"), "closed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoadState(c.road), c.state) << c.road.state << " " << c.road.downloads;
  }
}

TEST(OrderRoad, StuckAndUnreconciledOrdersAreFlagged) {
  const auto flags = [](OrderRoadRecord road, std::optional<double> received_age) {
    road.received_age_s = received_age;
    const nlohmann::json json = OrderRoadJson(road, {});
    return std::make_pair(json["stuck"].get<bool>(), json["needs_reconciliation"].get<bool>());
  };
  EXPECT_EQ(flags(Record("PENDING", 2, {}, {}), {}), std::make_pair(false, false));
  EXPECT_EQ(flags(Record("PENDING", 3, {}, {}), {}), std::make_pair(true, false));
  EXPECT_EQ(flags(Record("WITHDRAWN", 5, {}, {}), {}), std::make_pair(false, false));
  EXPECT_EQ(flags(Record("CONFIRMED", 1, {}, {}), 599.0), std::make_pair(false, false));
  EXPECT_EQ(flags(Record("CONFIRMED", 1, {}, {}), 601.0), std::make_pair(false, true));
  EXPECT_EQ(flags(Record("CONFIRMED", 1, "12", "S"), 3600.0), std::make_pair(false, false));
}

}  // namespace
}  // namespace zlv
