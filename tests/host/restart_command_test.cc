// The POSIX restart command for real: it must end the process that asked, and no other of the
// same name, and start one new process from the installation folder with the codes, detached
// from the one it ended. A copy of a probe program under a name of its own stands in
// for the program, so no real synchroniser on this computer is touched.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "host/watchdog.h"
#include "log/activity_log.h"
#include "platform/process.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

namespace fs = std::filesystem;

struct ProbeLine {
  pid_t pid = 0;
  pid_t sid = 0;
  std::string folder;
  std::string argument;
};

std::vector<ProbeLine> ReadProbeLines(const fs::path& file) {
  std::vector<ProbeLine> lines;
  std::ifstream in(file);
  ProbeLine line;
  while (in >> line.pid >> line.sid >> line.folder >> line.argument) lines.push_back(line);
  return lines;
}

std::vector<ProbeLine> WaitForProbeLines(const fs::path& file, std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::vector<ProbeLine> lines;
  while ((lines = ReadProbeLines(file)).size() < count &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return lines;
}

pid_t Start(const fs::path& program, const char* argument) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

TEST(RestartCommandTest, EndsTheAskingInstanceOnlyAndStartsOneDetachedWithTheCodes) {
  test::TempDir folder("zlv-restart");
  const std::string image = "zp" + std::to_string(getpid());  // within the 15-byte process name
  fs::copy_file(fs::path(ZLV_BIN_DIR) / "zlv_restart_probe", folder.path() / image);
  const fs::path out = folder.path() / "probe.txt";
  test::ScopedEnv probe_out("ZLV_PROBE_OUT", out.string());

  const pid_t first = Start(folder.path() / image, "old1");
  const pid_t second = Start(folder.path() / image, "old2");
  ASSERT_EQ(WaitForProbeLines(out, 2).size(), 2u);

  // The first probe stands for the synchroniser asking; the second for another process of
  // the same name (another installation), which must survive.
  platform::MakeCommandRunner(image)->RestartProgram({folder.path(), "0001", "001", first});

  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const std::vector<ProbeLine> lines = WaitForProbeLines(out, 3);
  EXPECT_EQ(waitpid(second, nullptr, WNOHANG), 0) << "another process of the name was ended";
  kill(second, SIGKILL);
  waitpid(second, nullptr, 0);
  ASSERT_EQ(lines.size(), 3u) << "no new instance was started";
  const ProbeLine& fresh = lines[2];
  kill(fresh.pid, SIGKILL);
  EXPECT_EQ(fresh.argument, "0001_001_");
  EXPECT_EQ(fs::path(fresh.folder), fs::canonical(folder.path()));
  EXPECT_NE(fresh.sid, getsid(0)) << "the new instance must not share the session it ends";
  EXPECT_NE(fresh.pid, first);
  EXPECT_NE(fresh.pid, second);
}

// Each wait moves the clock on as far as it was asked to wait; enough waits for a stall.
class ClockSleeper : public Sleeper {
 public:
  explicit ClockSleeper(FakeClock& clock) : clock_(clock) {}
  bool Sleep(double seconds) override {
    clock_.Advance(seconds);
    return ++sleeps_ < 20;
  }
  void Stop() override {}

 private:
  FakeClock& clock_;
  int sleeps_ = 0;
};

TEST(RestartCommandTest, UnderTheServiceManagerAStalledProcessEndsWithTheRestartStatusAlone) {
  test::TempDir folder("zlv-restart");
  const std::string image = "zs" + std::to_string(getpid());
  fs::copy_file(fs::path(ZLV_BIN_DIR) / "zlv_restart_probe", folder.path() / image);
  const fs::path out = folder.path() / "probe.txt";
  test::ScopedEnv probe_out("ZLV_PROBE_OUT", out.string());
  const pid_t other = Start(folder.path() / image, "other");
  ASSERT_EQ(WaitForProbeLines(out, 1).size(), 1u);

  const pid_t service = fork();
  if (service == 0) {
    // The service's process: its main thread never shows a sign of life again.
    const DateTime start = DateTime::FromCivil(2026, 6, 12, 8, 0, 0);
    FakeClock clock(start);
    Globals globals;
    globals.Touch(clock);
    globals.gInicioPeriodo.store(clock.Steady());
    ActivityLog log(folder.path(), clock);
    ClockSleeper sleeper(clock);
    const auto runner = platform::MakeCommandRunner(image, RestartStyle::kServiceManager);
    TDisparaThreadZlvSinc watchdog(globals, log, clock, sleeper, *runner, folder.path(), image);
    watchdog.HandOver({"0001", "001"});
    watchdog.Execute();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(service, &status, 0), service);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitRestartByServiceManager)
      << "status " << status;

  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(waitpid(other, nullptr, WNOHANG), 0) << "another process of the image was ended";
  EXPECT_EQ(ReadProbeLines(out).size(), 1u) << "a copy was started";
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
}

}  // namespace
}  // namespace zlv
