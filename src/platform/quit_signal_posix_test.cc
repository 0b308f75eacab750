#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/quit_signal.h"

namespace zlv {
namespace {

using Clock = std::chrono::steady_clock;

TEST(QuitSignalTest, WaitTimesOutWithoutAPost) {
  QuitSignal quit;
  const auto start = Clock::now();
  EXPECT_FALSE(quit.WaitFor(0.05));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(45));
  EXPECT_FALSE(quit.WaitFor(0));
}

TEST(QuitSignalTest, PostFromAnotherThreadWakesTheWaiterAtOnce) {
  QuitSignal quit;
  std::thread poster([&quit] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    quit.Post();
  });
  const auto start = Clock::now();
  EXPECT_TRUE(quit.WaitFor(30));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  poster.join();
  EXPECT_TRUE(quit.WaitFor(0)) << "the message stays posted";
}

TEST(QuitSignalTest, TerminationSignalsPostTheQuitMessage) {
  for (int signal : {SIGTERM, SIGINT}) {
    QuitSignal quit;
    quit.HandleTerminationSignals();
    raise(signal);
    EXPECT_TRUE(quit.WaitFor(5)) << signal;
  }
}

}  // namespace
}  // namespace zlv
