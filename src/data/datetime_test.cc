#include "data/datetime.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zlv {
namespace {

TEST(DateTime, EpochAndKnownSerialsMatchTheDayCount) {
  EXPECT_EQ(DateTime::FromCivil(1899, 12, 30).days(), 0);
  EXPECT_EQ(DateTime::FromCivil(1900, 1, 1).days(), 2);
  EXPECT_EQ(DateTime::FromCivil(2024, 2, 29).days(), 45351);
  EXPECT_EQ(DateTime::FromCivil(2024, 2, 29, 18).days(), 45351.75);
  EXPECT_EQ(DateTime::FromCivil(1800, 1, 1).days(), -36522);
}

TEST(DateTime, CivilRoundTripsFarFromTheEpoch) {
  for (int year : {1, 1600, 1899, 1900, 2000, 2038, 2100, 9999}) {
    for (int month : {1, 2, 12}) {
      const DateTime dt = DateTime::FromCivil(year, month, month == 2 ? 28 : 31, 23, 59, 59, 999);
      const CivilTime c = dt.Civil();
      EXPECT_EQ(c.year, year);
      EXPECT_EQ(c.month, month);
      EXPECT_EQ(c.day, month == 2 ? 28 : 31);
      EXPECT_EQ(c.hour, 23);
      EXPECT_EQ(c.minute, 59);
      EXPECT_EQ(c.second, 59);
      EXPECT_EQ(c.millisecond, 999);
    }
  }
}

TEST(DateTime, CivilRoundsToTheMillisecondInsteadOfTruncating) {
  // 10:00:00 computed from seconds lands a hair below the exact fraction.
  const DateTime dt = DateTime::FromCivil(2024, 5, 1).AddSeconds(36000);
  EXPECT_EQ(dt.ToIso(), "2024-05-01 10:00:00");
  // Just below midnight rounds into the next day, and DateOnly agrees with Civil.
  const DateTime almost(45351.0 - 1e-10);
  EXPECT_EQ(almost.ToIso(), "2024-02-29 00:00:00");
  EXPECT_EQ(almost.DateOnly().days(), 45351);
  EXPECT_EQ(dt.SecondsSince(DateTime::FromCivil(2024, 5, 1, 9, 59, 59)), 1);
  EXPECT_EQ(DateTime::FromCivil(2024, 5, 1).SecondsSince(dt), -36000);
}

TEST(DateTime, ImpossibleDatesAreRefused) {
  EXPECT_THROW(DateTime::FromCivil(2023, 2, 29), std::invalid_argument);
  EXPECT_THROW(DateTime::FromCivil(2024, 13, 1), std::invalid_argument);
  EXPECT_THROW(DateTime::FromCivil(2024, 1, 1, 24), std::invalid_argument);
  EXPECT_NO_THROW(DateTime::FromCivil(2000, 2, 29));
  EXPECT_THROW(DateTime::FromCivil(1900, 2, 29), std::invalid_argument);
  EXPECT_THROW(DateTime(1e300).Civil(), std::out_of_range);
}

TEST(DateTime, ParseIsoAcceptsTheThreeFormsAndNothingElse) {
  EXPECT_EQ(DateTime::ParseIso("2024-03-05"), DateTime::FromCivil(2024, 3, 5));
  EXPECT_EQ(DateTime::ParseIso("2024-03-05 07:08:09"), DateTime::FromCivil(2024, 3, 5, 7, 8, 9));
  EXPECT_EQ(DateTime::ParseIso("2024-03-05T07:08:09.5"),
            DateTime::FromCivil(2024, 3, 5, 7, 8, 9, 500));
  EXPECT_EQ(DateTime::ParseIso("2024-03-05T07:08:09.123"),
            DateTime::FromCivil(2024, 3, 5, 7, 8, 9, 123));
  for (const char* bad : {"", "2024-3-05", "2024-03-05T07:08", "2024-03-05T07:08:09.",
                          "2024-03-05T07:08:09.1234", "2024-02-30", "2024-03-05x07:08:09",
                          "05/03/2024", "2024-03-05 07:08:60", "+024-03-05", "2024-03-05 "}) {
    EXPECT_FALSE(DateTime::ParseIso(bad)) << bad;
  }
}

TEST(DateTime, TextFormsKeepMillisecondsOnlyInPackets) {
  const DateTime dt = DateTime::FromCivil(2024, 12, 31, 23, 5, 1, 40);
  EXPECT_EQ(dt.ToIso(), "2024-12-31 23:05:01");
  EXPECT_EQ(dt.ToPacketText(), "2024-12-31T23:05:01.040");
  EXPECT_EQ(DateTime::FromCivil(2024, 12, 31).ToPacketText(), "2024-12-31T00:00:00");
  EXPECT_EQ(DateTime::ParseIso(dt.ToPacketText()), dt);
}

}  // namespace
}  // namespace zlv
