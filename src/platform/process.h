// CommandRunner: the commands the synchroniser has the operating system carry out for it,
// beyond its own process: the watchdog's restart and the DNS cache flush. Neither waits for
// its command to finish nor looks at its outcome (a restart that did not happen is noticed by
// the watchdog itself three minutes later).
//
// Windows runs the command processor (from the system folder, never looked up along the path)
// with the texts of cmd_parameters.h. POSIX does the same things its own way: the restart runs
// a detached shell (new session, double fork, so that it outlives the process it ends) that
// ends the requesting process with SIGKILL, waits for it to be gone (so the new process finds
// the single-instance lock free), and starts the program again from the installation folder; the
// flush asks the system resolver to drop its cache when it has one. Under the service manager
// (POSIX) the restart is the manager's: the process ends at once with kExitRestartByServiceManager
// and starts nothing.
//
// Any thread may call a runner; the watchdog thread does.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace zlv {

struct RestartRequest {
  std::filesystem::path folder;  // installation folder: the program is started from it, in it
  std::string cdfilial;          // the new process's first parameter is
  std::string cdcaixa;           // "<cdfilial>_<cdcaixa>_"
  // The process the restart ends: 0 for the one asking (the watchdog's case). Only it is
  // ended, never every process of the image's name: another program, or another
  // installation, may be called the same.
  long pid = 0;
};

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Ends the request's process (this one by default) and starts a new one from the request's
  // folder; or, restarted by the service manager, ends this process alone (it does not return
  // then).
  virtual void RestartProgram(const RestartRequest& request) = 0;
  virtual void FlushDns() = 0;
};

// How the restart comes about. A process started by the service manager is restarted by it:
// ending with kExitRestartByServiceManager is the request (the unit restarts on failure), and
// a copy started beside it would escape the service's stop and start. A desktop process has
// no one to restart it and starts its successor itself.
enum class RestartStyle { kDetachedCopy, kServiceManager };

// EX_TEMPFAIL: the watchdog found the synchronisation stalled or due for renewal.
constexpr int kExitRestartByServiceManager = 75;

namespace platform {

// The program's image name: what the restart starts ("ZlvSinc"; "ZlvSinc.exe").
std::string ProgramImageName();

// The system's runner. image_name is the image the restart ends and starts from the request's
// folder; tests pass an image of their own so as never to touch a real synchroniser.
std::unique_ptr<CommandRunner> MakeCommandRunner(std::string image_name = ProgramImageName(),
                                                 RestartStyle style = RestartStyle::kDetachedCopy);

}  // namespace platform
}  // namespace zlv
