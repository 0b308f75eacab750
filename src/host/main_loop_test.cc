#include "host/main_loop.h"

#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "log/activity_log.h"
#include "support/log_testing.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

class MainLoopTest : public ::testing::Test {
 protected:
  // Runs the loop until the fake clock has moved by `seconds`; waits move the clock.
  void RunFor(double seconds) {
    const double end = clock_.Steady() + seconds;
    RunMainLoop({.timer = timer_,
                 .clock = clock_,
                 .log = log_,
                 .tick = [this] { tick(); },
                 .wait_for_quit =
                     [this, end](double wait) {
                       EXPECT_LE(wait, kLongestWaitSeconds);
                       EXPECT_GE(wait, 0);
                       if (quit_) return true;
                       clock_.Advance(wait);
                       return clock_.Steady() >= end;
                     }});
  }

  const DateTime start_ = DateTime::FromCivil(2026, 6, 12, 8, 0, 0);
  test::TempDir home_{"zlv-loop"};
  FakeClock clock_{start_};
  ActivityLog log_{home_.path(), clock_};
  SyncTimer timer_{clock_};
  std::function<void()> tick = [] {};
  bool quit_ = false;
};

TEST_F(MainLoopTest, TicksEveryThirtySecondsOfTheClock) {
  int ticks = 0;
  tick = [&] { ++ticks; };
  timer_.SetEnabled(true);
  RunFor(95);
  EXPECT_EQ(ticks, 3);
}

TEST_F(MainLoopTest, AFailingTickIsLoggedAndTheNextOneStillComes) {
  int ticks = 0;
  tick = [&] {
    if (++ticks == 1) throw std::runtime_error("no such table: CAIXA");
  };
  timer_.SetEnabled(true);
  RunFor(65);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(test::LogMessages(log_, start_),
            std::vector<std::string>{"timSincronismoTimer: Erro -> no such table: CAIXA"});
}

TEST_F(MainLoopTest, ARunThatSwitchesTheTimerOffDelaysTheNextTickToAfterItsEnd) {
  std::vector<double> tick_seconds;
  tick = [&] {
    tick_seconds.push_back(clock_.Now().SecondsSince(start_));
    timer_.SetEnabled(false);
    clock_.Advance(100);  // a long run
    timer_.SetEnabled(true);
  };
  timer_.SetEnabled(true);
  RunFor(300);
  EXPECT_EQ(tick_seconds, (std::vector<double>{30, 160, 290}));
}

// A clock two hours fast is put right: back an hour, then (too far) forward three hours.
TEST_F(MainLoopTest, SettingTheWallClockKeepsTheTicksEveryThirtySeconds) {
  std::vector<double> tick_seconds;
  bool set_back = false;
  bool set_forward = false;
  tick = [&] {
    const double at = std::round(clock_.Steady());
    tick_seconds.push_back(at);
    if (at >= 60 && !std::exchange(set_back, true)) clock_.Set(clock_.Now().AddSeconds(-3600));
    if (at >= 120 && !std::exchange(set_forward, true)) {
      clock_.Set(clock_.Now().AddSeconds(3 * 3600));
    }
  };
  timer_.SetEnabled(true);
  RunFor(185);
  EXPECT_EQ(tick_seconds, (std::vector<double>{30, 60, 90, 120, 150, 180}));
}

TEST_F(MainLoopTest, QuitEndsTheLoopBeforeAnyTick) {
  int ticks = 0;
  tick = [&] { ++ticks; };
  timer_.SetEnabled(true);
  clock_.Advance(60);
  quit_ = true;
  RunFor(1000);
  EXPECT_EQ(ticks, 0);
}

TEST_F(MainLoopTest, ADisabledTimerNeverTicks) {
  int ticks = 0;
  tick = [&] { ++ticks; };
  RunFor(120);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace zlv
