#include "router/column_text.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

const RegionalSettings& Br() { return RegionalSettings::Default(); }

TEST(ColumnText, MoneyUsesRegionalCommaWithoutFixedDecimalsOrGrouping) {
  EXPECT_EQ(ColumnText(Variant(12.5), Br()), "12,5");
  EXPECT_EQ(ColumnText(Variant(3.0), Br()), "3");
  EXPECT_EQ(ColumnText(Variant(1234567.89), Br()), "1234567,89");
  EXPECT_EQ(ColumnText(Variant(-0.75), Br()), "-0,75");
}

TEST(ColumnText, ComputedTotalsDoNotShowBinaryNoise) {
  EXPECT_EQ(ColumnText(Variant(0.1 + 0.2), Br()), "0,3");
  EXPECT_EQ(ColumnText(Variant(3 * 8.43), Br()), "25,29");
  EXPECT_EQ(ColumnText(Variant(-0.0), Br()), "0");
}

TEST(ColumnText, VeryLargeAndVerySmallNumbersSwitchToScientificForm) {
  EXPECT_EQ(FloatToStrGeneral(1e20, ','), "1E20");
  EXPECT_EQ(FloatToStrGeneral(1.5e-7, ','), "1,5E-7");
  EXPECT_EQ(FloatToStrGeneral(0.00001, ','), "0,00001");
  EXPECT_EQ(FloatToStrGeneral(123456789012345.0, '.'), "123456789012345");
  EXPECT_EQ(FloatToStrGeneral(1234567890123456.0, '.'), "1.23456789012346E15");
}

TEST(ColumnText, DateTimeDropsTheTimeOnlyAtMidnight) {
  EXPECT_EQ(ColumnText(Variant(DateTime::FromCivil(2026, 3, 7, 19, 5, 9)), Br()),
            "07/03/2026 19:05:09");
  EXPECT_EQ(ColumnText(Variant(DateTime::FromCivil(2026, 3, 7)), Br()), "07/03/2026");
}

TEST(ColumnText, TextsIntegersAndNullAsStored) {
  EXPECT_EQ(ColumnText(Variant("  Rua das Flores "), Br()), "  Rua das Flores ");
  EXPECT_EQ(ColumnText(Variant(int64_t{4021}), Br()), "4021");
  EXPECT_EQ(ColumnText(Variant::Null(), Br()), "");
  EXPECT_EQ(ColumnText(Variant(), Br()), "");
}

}  // namespace
}  // namespace zlv
