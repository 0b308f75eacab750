// A store's presence from the age of its last successful download, at the edges of each state.
#include "central/presence.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(Presence, TheDownloadsAgeDecidesAtEachEdge) {
  const std::vector<std::pair<std::optional<double>, const char*>> cases = {
      {std::nullopt, "never"}, {0.0, "online"},   {45.0, "online"},     {45.5, "stale"},
      {90.0, "stale"},         {90.5, "offline"}, {86400.0, "offline"},
  };
  for (const auto& [age, state] : cases) EXPECT_EQ(PresenceState(age), state) << age.value_or(-1);
}

}  // namespace
}  // namespace zlv
