#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/process.h"

namespace zlv::platform {

namespace {

// $1 process id, $2 program, $3 codes. Only that process is ended: a name would also match
// another installation's or another program's. The wait ends when the process is gone or a
// zombie (which has let go of its lock already) and gives up after 10 s: a process that will
// not die must not keep the new one from starting.
constexpr const char* kRestartScript =
    "kill -KILL \"$1\" 2>/dev/null\n"
    "n=0\n"
    "while [ $n -lt 50 ]; do\n"
    "  s=$(ps -o stat= -p \"$1\" 2>/dev/null) || break\n"
    "  case \"$s\" in Z*|'') break ;; esac\n"
    "  sleep 0.2; n=$((n+1))\n"
    "done\n"
    "exec \"$2\" \"$3\"\n";

// systemd-resolved is the one cache a Linux store computer usually has; without it there is
// nothing to flush.
constexpr const char* kFlushDnsScript =
    "resolvectl flush-caches >/dev/null 2>&1 || systemd-resolve --flush-caches >/dev/null 2>&1 "
    "|| true\n";

// Runs /bin/sh with the script and arguments in a new session, detached from this process:
// the grandchild is adopted by init, so neither a kill of this process nor its exit ends it,
// and no zombie is left behind. Only async-signal-safe calls happen between fork and exec, as
// the watchdog thread forks while the main thread may hold any lock.
void RunDetachedShell(const char* script, std::vector<std::string> args,
                      const std::filesystem::path& working_folder) {
  std::vector<std::string> texts = {"sh", "-c", script, "zlvsinc-command"};
  for (std::string& arg : args) texts.push_back(std::move(arg));
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const std::string folder = working_folder.string();

  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, STDIN_FILENO);
      dup2(null_fd, STDOUT_FILENO);
      dup2(null_fd, STDERR_FILENO);
      if (null_fd > STDERR_FILENO) close(null_fd);
    }
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    execv("/bin/sh", argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

class PosixCommandRunner : public CommandRunner {
 public:
  PosixCommandRunner(std::string image_name, RestartStyle style)
      : image_name_(std::move(image_name)), style_(style) {}

  void RestartProgram(const RestartRequest& request) override {
    if (style_ == RestartStyle::kServiceManager) {
      // The watchdog calls this from its own thread while the main thread may be anywhere,
      // holding any lock: only an immediate end is safe, with no destructors or exit handlers
      // run. The log is closed after every line, so nothing written is lost, and the store
      // database's transactions are atomic, so an order cut short is rolled back whole.
      std::_Exit(kExitRestartByServiceManager);
    }
    const long pid = request.pid != 0 ? request.pid : static_cast<long>(getpid());
    RunDetachedShell(kRestartScript,
                     {std::to_string(pid), (request.folder / image_name_).string(),
                      request.cdfilial + "_" + request.cdcaixa + "_"},
                     request.folder);
  }

  void FlushDns() override { RunDetachedShell(kFlushDnsScript, {}, "/"); }

 private:
  std::string image_name_;
  RestartStyle style_;
};

}  // namespace

std::string ProgramImageName() { return "ZlvSinc"; }

std::unique_ptr<CommandRunner> MakeCommandRunner(std::string image_name, RestartStyle style) {
  return std::make_unique<PosixCommandRunner>(std::move(image_name), style);
}

}  // namespace zlv::platform
