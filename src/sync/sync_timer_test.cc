#include "sync/sync_timer.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

const DateTime kStart = DateTime::FromCivil(2026, 6, 12, 21, 0, 0);

TEST(SyncTimer, FiresEveryIntervalWhileLeftOn) {
  FakeClock clock(kStart);
  SyncTimer timer(clock);
  EXPECT_FALSE(timer.TakeTick());
  EXPECT_FALSE(timer.DueTime().has_value());
  timer.SetEnabled(true);
  clock.Advance(29.9);
  EXPECT_FALSE(timer.TakeTick());
  clock.Advance(0.1);
  EXPECT_TRUE(timer.TakeTick());
  EXPECT_FALSE(timer.TakeTick()) << "one due time fired twice";
  EXPECT_EQ(timer.DueTime()->SecondsSince(kStart), 60);
}

TEST(SyncTimer, SwitchingOffAndOnStartsAFullInterval) {
  FakeClock clock(kStart);
  SyncTimer timer(clock);
  timer.SetEnabled(true);
  clock.Advance(20);
  timer.SetEnabled(true);  // already on: keeps its due time
  EXPECT_EQ(timer.DueTime()->SecondsSince(kStart), 30);
  timer.SetEnabled(false);
  clock.Advance(100);
  EXPECT_FALSE(timer.TakeTick()) << "a disabled timer fired";
  timer.SetEnabled(true);
  EXPECT_EQ(timer.DueTime()->SecondsSince(kStart), 150);
}

}  // namespace
}  // namespace zlv
