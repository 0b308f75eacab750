#include "sync/upload.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(BatchFilter, QuotesEverySaleNumber) {
  EXPECT_EQ(BatchFilter({"15", "16"}), "NRVENDAREST in ('15','16')");
  EXPECT_EQ(BatchFilter({"1') OR ('1"}), "NRVENDAREST in ('1'') OR (''1')");
}

}  // namespace
}  // namespace zlv
