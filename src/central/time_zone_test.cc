// The stores' zones as the system's tzdata has them, and the channels' RFC 3339 instants.
#include "central/time_zone.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "central/store_times.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

int64_t Instant(const char* text) {
  const std::optional<int64_t> seconds = ParseRfc3339(text);
  if (!seconds) throw std::invalid_argument(std::string("bad instant in test: ") + text);
  return *seconds;
}

TEST(TimeZoneTest, OffsetAndCivilTimeAtAnInstant) {
  struct Case {
    const char* zone;
    const char* instant;
    int offset;
    const char* local;
  };
  const Case cases[] = {
      {"America/Sao_Paulo", "2026-12-09T22:30:00Z", -3 * 3600, "2026-12-09T19:30:00"},
      {"America/Sao_Paulo", "2018-01-15T12:00:00Z", -2 * 3600, "2018-01-15T10:00:00"},
      // Before the first transition: local mean time, -3:06:28.
      {"America/Sao_Paulo", "1900-01-01T00:00:00Z", -11188, "1899-12-31T20:53:32"},
      {"America/New_York", "2026-03-08T06:59:59Z", -5 * 3600, "2026-03-08T01:59:59"},
      {"America/New_York", "2026-03-08T07:00:00Z", -4 * 3600, "2026-03-08T03:00:00"},
      // Past the file's transitions, by its rule: DST from the second Sunday of March at 02:00
      // to the first of November at 02:00 DST.
      {"America/New_York", "2040-03-11T06:59:59Z", -5 * 3600, "2040-03-11T01:59:59"},
      {"America/New_York", "2040-03-11T07:00:00Z", -4 * 3600, "2040-03-11T03:00:00"},
      {"America/New_York", "2040-11-04T05:59:59Z", -4 * 3600, "2040-11-04T01:59:59"},
      {"America/New_York", "2040-11-04T06:00:00Z", -5 * 3600, "2040-11-04T01:00:00"},
      // South of the equator DST spans the new year, and ends at 03:00.
      {"Australia/Sydney", "2040-03-31T15:59:59Z", 11 * 3600, "2040-04-01T02:59:59"},
      {"Australia/Sydney", "2040-03-31T16:00:00Z", 10 * 3600, "2040-04-01T02:00:00"},
      {"Australia/Sydney", "2040-12-15T00:00:00Z", 11 * 3600, "2040-12-15T11:00:00"},
      {"UTC", "2026-12-09T22:30:00Z", 0, "2026-12-09T22:30:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.instant);
    const TimeZone zone(c.zone);
    EXPECT_EQ(zone.OffsetAt(Instant(c.instant)), c.offset);
    EXPECT_EQ(zone.ToLocal(Instant(c.instant)).ToPacketText(), c.local);
  }
}

TEST(TimeZoneTest, CivilTimeBackToTheInstant) {
  struct Case {
    const char* zone;
    const char* local;
    const char* instant;
  };
  const Case cases[] = {
      {"America/Sao_Paulo", "2026-12-09T19:30:00", "2026-12-09T22:30:00Z"},
      {"America/New_York", "2026-07-01T12:00:00", "2026-07-01T16:00:00Z"},
      // Skipped by the clocks: read with the offset before the change (EST).
      {"America/New_York", "2026-03-08T02:30:00", "2026-03-08T07:30:00Z"},
      // Shown twice: the earlier instant (EDT).
      {"America/New_York", "2026-11-01T01:30:00", "2026-11-01T05:30:00Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.local);
    EXPECT_EQ(TimeZone(c.zone).ToUtc(*DateTime::ParseIso(c.local)), Instant(c.instant));
  }
}

TEST(TimeZoneTest, UnknownOrUnreadableZoneIsRefused) {
  // "leapseconds" sits in the database's folder but is text, not a zone file.
  for (const char* name : {"Nowhere/Atlantis", "../etc/passwd", "America", "leapseconds", ""}) {
    try {
      TimeZone zone(name);
      ADD_FAILURE() << name << " was loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "unknown time zone \"" + std::string(name) + "\"");
    }
  }
}

// Copies of a real zone file, altered, in a folder of their own.
class TimeZoneFileTest : public ::testing::Test {
 protected:
  const std::string new_york_ = test::ReadFileBytes("/usr/share/zoneinfo/America/New_York");
  test::TempDir dir_{"tzif"};
  test::ScopedEnv tzdir_{"TZDIR", dir_.path().string()};
};

TEST_F(TimeZoneFileTest, FirstVersionFileIsReadWithoutTheLaterBlocks) {
  // The 32-bit block alone, marked as version 1: counts at bytes 20 to 43.
  const auto count = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = at; i < at + 4; ++i) v = (v << 8) | static_cast<unsigned char>(new_york_[i]);
    return size_t{v};
  };
  const size_t block =
      count(20) + count(24) + count(28) * 8 + count(32) * 5 + count(36) * 6 + count(40);
  std::string v1 = new_york_.substr(0, 44 + block);
  v1[4] = '\0';
  test::WriteFileBytes(dir_.path() / "Old", v1);
  EXPECT_EQ(TimeZone("Old").OffsetAt(Instant("2026-03-08T07:00:00Z")), -4 * 3600);
}

TEST_F(TimeZoneFileTest, DamagedFileIsRefused) {
  for (const size_t length : {size_t{10}, size_t{44}, size_t{300}, new_york_.size() / 2 + 100}) {
    test::WriteFileBytes(dir_.path() / "Cut", new_york_.substr(0, length));
    EXPECT_THROW(TimeZone("Cut"), std::runtime_error) << length;
  }
}

TEST(Rfc3339Test, InstantsWithAnOffset) {
  const int64_t evening = 1'796'855'400;  // 2026-12-09 22:30:00 UTC
  const std::pair<const char*, int64_t> cases[] = {
      {"2026-12-09T22:30:00Z", evening},      {"2026-12-09T19:30:00-03:00", evening},
      {"2026-12-10T04:00:00+05:30", evening}, {"2026-12-09t22:30:00z", evening},
      {"2026-12-09T22:30:00.999Z", evening},  // fractions dropped
      {"1970-01-01T00:00:00+00:00", 0},
  };
  for (const auto& [text, seconds] : cases) EXPECT_EQ(ParseRfc3339(text), seconds) << text;
}

TEST(Rfc3339Test, OtherFormsRefused) {
  for (const char* text : {
           "2026-12-09T19:30:00",         // no offset
           "2026-12-09 19:30:00Z",        // no "T"
           "2026-12-09T24:00:00Z",        // 24:00
           "2026-13-09T19:30:00Z",        // month 13
           "2026-02-29T19:30:00Z",        // not a leap year
           "2026-12-09T19:30:00-0300",    // offset without ":"
           "2026-12-09T19:30:00+24:00",   // offset out of range
           "2026-12-09T19:30:00.Z",       // "." without digits
           "2026-12-09T19:30:00Z extra",  // trailing text
           "2026-12-09",                  // date alone
       }) {
    EXPECT_EQ(ParseRfc3339(text), std::nullopt) << text;
  }
}

TEST(StoreTimesTest, AChannelsTimeIsTheStoresCivilTime) {
  const StoreTimes times = SystemStoreTimes();
  const StoreRecord store{"0001", "001", "Centro", "America/Sao_Paulo"};
  EXPECT_EQ(times.local(store, "2026-12-09T22:30:00Z"), DateTime::FromCivil(2026, 12, 9, 19, 30));
  EXPECT_EQ(times.local(store, "2026-12-09T19:30:00-03:00"),
            DateTime::FromCivil(2026, 12, 9, 19, 30));
  EXPECT_EQ(times.local(store, "2026-12-09 19:30"), std::nullopt);
}

}  // namespace
}  // namespace zlv
