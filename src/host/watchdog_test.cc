#include "host/watchdog.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bizlib/regional.h"
#include "log/activity_log.h"
#include "support/log_testing.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

// Sleeps by moving the fake clock; ends the watchdog after a number of sleeps. on_sleep runs
// after each sleep, as the main thread would meanwhile.
class FakeSleeper : public Sleeper {
 public:
  explicit FakeSleeper(FakeClock& clock) : clock_(clock) {}
  bool Sleep(double seconds) override {
    if (stopped_ || sleeps_left_-- <= 0) return false;
    asked_.push_back(seconds);
    clock_.Advance(seconds);
    if (on_sleep) on_sleep(seconds);
    return !stopped_;
  }
  void Stop() override { stopped_ = true; }

  int sleeps_left_ = 0;
  std::vector<double> asked_;
  std::function<void(double)> on_sleep;

 private:
  FakeClock& clock_;
  bool stopped_ = false;
};

// The command processor double: records what it was asked to run.
class RecordingRunner : public CommandRunner {
 public:
  void RestartProgram(const RestartRequest& request) override {
    if (fail) throw std::runtime_error("cmd.exe não encontrado");
    restarts.push_back(request);
  }
  void FlushDns() override {}
  std::vector<RestartRequest> restarts;
  bool fail = false;
};

class WatchdogTest : public ::testing::Test {
 protected:
  WatchdogTest() {
    watchdog_.HandOver({"0001", "001"});
    globals_.Touch(clock_);
    globals_.gInicioPeriodo.store(clock_.Steady());
    globals_.gLiberaReinicio.store(true);
  }
  // Runs the thread's body here until the sleeper has slept n times.
  void RunPolls(int sleeps) {
    sleeper_.sleeps_left_ = sleeps;
    watchdog_.Execute();
  }
  std::vector<std::string> Log() { return test::LogMessages(log_, start_); }

  const DateTime start_ = DateTime::FromCivil(2026, 6, 12, 8, 0, 0);
  test::TempDir home_{"zlv-watchdog"};
  FakeClock clock_{start_};
  Globals globals_;
  ActivityLog log_{home_.path(), clock_};
  FakeSleeper sleeper_{clock_};
  RecordingRunner runner_;
  TDisparaThreadZlvSinc watchdog_{globals_, log_, clock_, sleeper_, runner_, "/opt/zlv", "ZlvSinc"};
};

TEST_F(WatchdogTest, BlockedMainThreadIsRestartedAtThePollAfterThreeMinutes) {
  RunPolls(6);  // 180 s: not more than 180
  EXPECT_TRUE(runner_.restarts.empty());
  RunPolls(1);  // 210 s
  ASSERT_EQ(runner_.restarts.size(), 1u);
  EXPECT_EQ(runner_.restarts[0].folder, "/opt/zlv");
  EXPECT_EQ(runner_.restarts[0].cdfilial, "0001");
  EXPECT_EQ(runner_.restarts[0].cdcaixa, "001");
  EXPECT_EQ(
      Log(),
      (std::vector<std::string>{
          "Reinicia o ZlvSinc apos 3 minutos parado: 12/06/2026 08:00:00 /opt/zlv/ZlvSinc", ""}));
  EXPECT_DOUBLE_EQ(globals_.gUltimaAtividade.load(), clock_.Steady())
      << "a restart that did not happen waits another three minutes";

  watchdog_.HandOver({"0002", "007"});  // read by a start-up that waited for its database
  RunPolls(6);
  EXPECT_EQ(runner_.restarts.size(), 1u);
  RunPolls(1);
  ASSERT_EQ(runner_.restarts.size(), 2u);
  EXPECT_EQ(runner_.restarts[1].cdfilial, "0002");
  EXPECT_EQ(runner_.restarts[1].cdcaixa, "007");
}

TEST_F(WatchdogTest, TicksThatShowLifeKeepTheStallTestQuiet) {
  sleeper_.on_sleep = [this](double) { globals_.Touch(clock_); };
  RunPolls(100);
  EXPECT_TRUE(runner_.restarts.empty());
  EXPECT_EQ(sleeper_.asked_, std::vector<double>(100, 30.0));
}

TEST_F(WatchdogTest, PeriodRestartWaitsWhileAnOrderIsBeingWritten) {
  sleeper_.on_sleep = [this](double) { globals_.Touch(clock_); };
  globals_.gLiberaReinicio.store(false);
  RunPolls(600);  // 5 hours
  EXPECT_TRUE(runner_.restarts.empty());
  EXPECT_FALSE(globals_.gAvisoReinicio.load());

  globals_.gLiberaReinicio.store(true);
  bool announced_during_grace = false;
  sleeper_.on_sleep = [&](double seconds) {
    if (seconds == 40) {
      announced_during_grace = globals_.gAvisoReinicio.load();
      EXPECT_TRUE(runner_.restarts.empty()) << "the grace comes before the restart";
    }
  };
  const DateTime last_life = clock_.Now();
  RunPolls(3);  // poll, grace, pause
  EXPECT_TRUE(announced_during_grace);
  ASSERT_EQ(runner_.restarts.size(), 1u);
  EXPECT_EQ(sleeper_.asked_.back(), 2.0);
  EXPECT_FALSE(globals_.gAvisoReinicio.load());
  EXPECT_DOUBLE_EQ(globals_.gInicioPeriodo.load(), clock_.Steady());
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0],
            "Reinicia o ZlvSinc apos 240 minutos executando: " +
                RegionalSettings::Default().FormatDateTime("dd/mm/yyyy hh:mm:ss", last_life) +
                " /opt/zlv/ZlvSinc")
      << "the line shows the last sign of life, not the period's start";
}

// An order whose download began before the announcement is still being written when the grace
// ends: the restart waits for its confirmation.
TEST_F(WatchdogTest, PeriodRestartWaitsForAnOrderWrittenDuringTheGrace) {
  bool order_started = false;
  sleeper_.on_sleep = [&](double seconds) {
    globals_.Touch(clock_);
    if (seconds == 40 && !std::exchange(order_started, true)) {
      globals_.gLiberaReinicio.store(false);
    }
  };
  RunPolls(481 + 1);  // the poll past 240 minutes, then its grace
  EXPECT_TRUE(order_started);
  RunPolls(20);
  EXPECT_TRUE(runner_.restarts.empty()) << "restarted in the middle of an order";

  globals_.gLiberaReinicio.store(true);  // confirmed to the server
  RunPolls(3);                           // poll, grace, pause
  EXPECT_EQ(runner_.restarts.size(), 1u);
}

// A clock two hours fast is put right while the ticks go on: back an hour, then (too far)
// forward three hours. Neither is a stall, the period still ends after 240 minutes of running,
// and a main thread that then stops is restarted three minutes later, clock set back or not.
TEST_F(WatchdogTest, SettingTheWallClockNeitherRestartsNorHoldsOffARestart) {
  int polls = 0;
  DateTime last_tick;
  sleeper_.on_sleep = [&](double seconds) {
    if (seconds != 30) return;
    globals_.Touch(clock_);
    last_tick = clock_.Now();
    ++polls;
    if (polls == 10) clock_.Set(clock_.Now().AddSeconds(-3600));
    if (polls == 20) clock_.Set(clock_.Now().AddSeconds(3 * 3600));
  };
  RunPolls(480);  // 240 minutes
  EXPECT_TRUE(runner_.restarts.empty());
  RunPolls(3);  // poll, grace, pause
  ASSERT_EQ(runner_.restarts.size(), 1u);
  EXPECT_EQ(Log().at(0),
            "Reinicia o ZlvSinc apos 240 minutos executando: " +
                RegionalSettings::Default().FormatDateTime("dd/mm/yyyy hh:mm:ss", last_tick) +
                " /opt/zlv/ZlvSinc")
      << "the line shows the last sign of life on the wall clock";

  sleeper_.on_sleep = nullptr;  // the main thread is stuck
  globals_.Touch(clock_);
  clock_.Set(clock_.Now().AddSeconds(-2 * 3600));
  RunPolls(7);
  EXPECT_EQ(runner_.restarts.size(), 2u);
}

TEST_F(WatchdogTest, StoppingDuringTheGraceRestartsNothing) {
  globals_.gInicioPeriodo.store(clock_.Steady() - 241 * 60);
  sleeper_.on_sleep = [this](double seconds) {
    globals_.Touch(clock_);
    if (seconds == 40) sleeper_.Stop();
  };
  RunPolls(5);
  EXPECT_TRUE(runner_.restarts.empty());
}

TEST_F(WatchdogTest, AFailingRestartCommandEndsTheThreadWithItsLogLine) {
  runner_.fail = true;
  RunPolls(20);
  EXPECT_EQ(sleeper_.asked_.size(), 7u) << "the thread ended at the failure";
  const std::vector<std::string> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Erro DisparaThreadZlvSinc:cmd.exe não encontrado");
}

TEST(WatchdogThreadTest, StopEndsTheRealThreadWithoutWaitingForItsPoll) {
  test::TempDir home("zlv-watchdog");
  SystemClock clock;
  Globals globals;
  globals.Touch(clock);
  ActivityLog log(home.path(), clock);
  StoppableSleeper sleeper;
  RecordingRunner runner;
  TDisparaThreadZlvSinc watchdog(globals, log, clock, sleeper, runner, home.path(), "ZlvSinc");
  watchdog.Start({"0001", "001"});
  EXPECT_TRUE(watchdog.Running());
  const auto begin = std::chrono::steady_clock::now();
  watchdog.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  EXPECT_FALSE(watchdog.Running());
  EXPECT_TRUE(runner.restarts.empty());
}

}  // namespace
}  // namespace zlv
