#include "host/run_mode.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

// Registered so that a boot where the store's database or the network come up late, and a
// failing end, are met by the manager rather than leaving the store without a synchroniser.
TEST(SincServiceTest, StartsDelayedAndIsRestartedAfterItsFirstTwoFailures) {
  const ServiceDefinition& service = SincService();
  EXPECT_TRUE(service.automatic_start);
  EXPECT_TRUE(service.delayed_start);
  EXPECT_EQ(service.restart_delays_ms, (std::vector<int>{60000, 60000}));
  EXPECT_GT(service.stop_wait_hint_ms, service.wait_hint_ms);
}

}  // namespace
}  // namespace zlv
