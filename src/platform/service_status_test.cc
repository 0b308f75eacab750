#include "platform/service_status.h"

#include <gtest/gtest.h>

namespace zlv::platform {
namespace {

// A failing end must reach the manager as a failure, or it writes nothing to the event log
// and runs no recovery action.
TEST(ServiceExitCodesTest, OnlyACleanEndIsAPlainStop) {
  const struct {
    int exit_status;
    uint32_t win32_exit_code;
    uint32_t service_specific_code;
  } cases[] = {{0, 0, 0}, {1, 1066, 1}, {75, 1066, 75}, {78, 1066, 78}};
  for (const auto& c : cases) {
    const ServiceExitCodes codes = ServiceExitCodesFor(c.exit_status);
    EXPECT_EQ(codes.win32_exit_code, c.win32_exit_code) << c.exit_status;
    EXPECT_EQ(codes.service_specific_code, c.service_specific_code) << c.exit_status;
  }
}

}  // namespace
}  // namespace zlv::platform
