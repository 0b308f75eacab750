#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/single_instance.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zlv {
namespace {

using Outcome = SingleInstanceLock::Outcome;

class SingleInstanceTest : public ::testing::Test {
 protected:
  test::TempDir dir_{"zlv-lock"};
  test::ScopedEnv lock_dir_{"ZLVSINC_LOCK_DIR", dir_.path().string()};
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
  {
    SingleInstanceLock first("ZLVSINC");
    ASSERT_EQ(first.outcome(), Outcome::kAcquired);
    EXPECT_EQ(SingleInstanceLock("ZLVSINC").outcome(), Outcome::kAlreadyRunning);
    EXPECT_EQ(SingleInstanceLock("OTHER").outcome(), Outcome::kAcquired);

    SingleInstanceLock moved = std::move(first);
    EXPECT_EQ(SingleInstanceLock("ZLVSINC").outcome(), Outcome::kAlreadyRunning)
        << "a moved lock is still held";
  }
  EXPECT_EQ(SingleInstanceLock("ZLVSINC").outcome(), Outcome::kAcquired);
}

TEST_F(SingleInstanceTest, AStartedCommandDoesNotInheritTheLock) {
  // The watchdog's restart is started by the process it ends: if the command inherited the
  // lock, the new instance would find it held and end at once.
  pid_t child = -1;
  {
    SingleInstanceLock lock("ZLVSINC");
    ASSERT_EQ(lock.outcome(), Outcome::kAcquired);
    char sleep[] = "sleep", seconds[] = "5";
    char* argv[] = {sleep, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
  }
  EXPECT_EQ(SingleInstanceLock("ZLVSINC").outcome(), Outcome::kAcquired);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

TEST_F(SingleInstanceTest, AnUnusableFolderLetsTheProcessRunUnguarded) {
  test::ScopedEnv missing("ZLVSINC_LOCK_DIR", (dir_.path() / "missing").string());
  EXPECT_EQ(SingleInstanceLock("ZLVSINC").outcome(), Outcome::kUnavailable);
}

TEST_F(SingleInstanceTest, TheLockIsMachineWideNotInTheUsersRuntimeFolder) {
  test::ScopedEnv no_test_folder("ZLVSINC_LOCK_DIR", std::nullopt);
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir_.path().string());
  const std::string name = "zlv-lock-test-" + std::to_string(getpid());
  // root (the service) locks where no other account can make or hold its lock.
  const std::filesystem::path machine = geteuid() == 0                          ? "/run/zlvsinc"
                                        : access("/run/lock", W_OK | X_OK) == 0 ? "/run/lock"
                                                                                : "/tmp";
  {
    SingleInstanceLock lock(name);
    EXPECT_EQ(lock.outcome(), Outcome::kAcquired);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / (name + ".lock")));
  if (geteuid() == 0) {
    EXPECT_EQ(std::filesystem::status(machine).permissions(), std::filesystem::perms::owner_all);
  }
  EXPECT_TRUE(std::filesystem::remove(machine / (name + ".lock")));
}

}  // namespace
}  // namespace zlv
