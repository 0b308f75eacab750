// ZlvSinc: the store's delivery-order synchroniser. See command_line.h for its command line
// and run_mode.h for how it decides between service and desktop mode.
//
// Exit status: 0 after a normal end (stop request, quit, a second instance, a done INSTALL or
// UNINSTALL); 1 when start-up could not finish or INSTALL/UNINSTALL failed; 78 (EX_CONFIG,
// shown by systemd as "CONFIG") when this cash register is not set up to run the delivery
// synchronisation, or its parameter or Zelvora.cds cannot be read: a configuration matter for
// the technician, not a crash, and nothing a restart would mend (the unit does not restart
// it). 75 (EX_TEMPFAIL) on POSIX when the watchdog of a service process found the
// synchronisation stalled or due for renewal: the unit's Restart=on-failure starts it again
// after 5 s.
//
// ONCE runs one cycle and says how it ended, on standard output (one line: what happened and
// the day's log file) and in its status (host/once_report.h):
//   0  the cycle reached the central server and no failure line was logged
//   1  start-up failed after the store database opened (the log says why)
//   64 (EX_USAGE) the branch/register parameter or Zelvora.cds is malformed or unreadable
//   66 (EX_NOINPUT) the store database did not open
//   68 (EX_NOHOST) IpServer is missing or malformed
//   69 (EX_UNAVAILABLE) the central server could not be reached
//   70 (EX_SOFTWARE) the cycle logged a failure line
//   75 (EX_TEMPFAIL) another synchroniser is running on this machine
//   78 (EX_CONFIG) this cash register is not set up for the delivery synchronisation
//
// STATUS prints the synchroniser's health and ends with 0 healthy, 1 needs attention, 2 not
// working, 3 unreadable (host/status_command.h); it takes no lock and is never a service.
//
// One synchroniser per machine: the service and a process started by hand take the same
// single-instance lock, and a second one ends silently with 0 (ONCE says so, with 75; a
// service started by its manager ends with 75, a failure the manager records and answers
// with a later restart). Windows first waits up to 15 s for a holder that is ending
// (platform/single_instance.h). INSTALL and UNINSTALL only register and take no lock.
//
// Windows service: the manager is told the exit status (0: stopped; any other: the
// service-specific error of that number, in the event log, and the recovery actions run).
//
// ZLVSINC_CA_FILE, when set, names a PEM file of CA certificates trusted beside the system's
// for the router's HTTPS address: a router with a private certificate, and the demo and the
// end-to-end tests, whose local router signs its own. POSIX only: on Windows a private CA
// belongs in the computer's certificate store, and a request naming a file is refused.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bizlib/https.h"
#include "host/command_line.h"
#include "host/once_report.h"
#include "host/run_mode.h"
#include "host/sinc_form.h"
#include "host/status_command.h"
#include "platform/memory_trim.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/single_instance.h"
#include "platform/technician_message.h"

namespace zlv {
namespace {

int RunSynchroniser(const CommandLine& line, RunMode mode, QuitSignal& quit) {
  if (const char* ca_file = std::getenv("ZLVSINC_CA_FILE");
      ca_file != nullptr && *ca_file != '\0') {
    SetHttpsExtraCaFile(ca_file);
  }
  const SystemClock clock;
  const std::unique_ptr<CommandRunner> runner = platform::MakeCommandRunner(
      platform::ProgramImageName(), mode == RunMode::kService && platform::StartedByServiceManager()
                                        ? RestartStyle::kServiceManager
                                        : RestartStyle::kDetachedCopy);
  TSincForm form({.first_parameter = line.first_parameter,
                  .exe_folder = platform::ExeFolder(),
                  .program_folder = platform::ExecutablePath().parent_path(),
                  .image_name = platform::ProgramImageName(),
                  .start_watchdog = !line.once,
                  .wait_for_database = !line.once,
                  .config_key = platform::MachineConfigKey(),
                  .clock = clock,
                  .runner = *runner,
                  .service = mode == RunMode::kService});
  StartupResult outcome = form.FormCreate();
  if (line.once) {
    // Start-up ran the cycle as its first tick.
    const OnceReport report = ReportOnce(outcome, form.last_cycle(), form.log().failure_lines(),
                                         form.log().FileFor(clock.Now()));
    std::cout << report.summary << std::endl;
    if (outcome.outcome != StartupOutcome::kStarted) std::cerr << outcome.message << std::endl;
    return report.status;
  }
  // While the store database does not open, the ticks finish start-up when it does.
  if (outcome.outcome == StartupOutcome::kStarted ||
      outcome.outcome == StartupOutcome::kWaitingForDatabase) {
    outcome = form.Run(quit);
  }
  switch (outcome.outcome) {
    case StartupOutcome::kNotSetUp:
    case StartupOutcome::kBadParameters:
      std::cerr << outcome.message << std::endl;
      return kExitNotSetUp;
    case StartupOutcome::kFailed:
    case StartupOutcome::kDatabaseUnavailable:
      std::cerr << outcome.message << std::endl;
      return kExitFailed;
    case StartupOutcome::kStarted:
    case StartupOutcome::kWaitingForDatabase:
      break;
  }
  return kExitOk;
}

// Held until the synchroniser ends, in both modes: a second synchroniser leaves, silently,
// whoever started it; a ONCE check says why it did nothing, and so does a service the
// manager started (75), which the manager then starts again later (the other synchroniser
// may have been a copy left running by hand).
int RunAlone(const CommandLine& line, RunMode mode, QuitSignal& quit) {
  const SingleInstanceLock lock("ZLVSINC");
  if (lock.outcome() == SingleInstanceLock::Outcome::kAlreadyRunning) {
    if (mode == RunMode::kService && platform::StartedByServiceManager()) {
      return kExitAlreadyRunning;
    }
    if (!line.once) return kExitOk;
    const SystemClock clock;
    const OnceReport report =
        ReportAlreadyRunning(ActivityLog(platform::ExeFolder(), clock).FileFor(clock.Now()));
    std::cout << report.summary << std::endl;
    return report.status;
  }
  return RunSynchroniser(line, mode, quit);
}

int Main(const std::vector<std::string>& args) {
  const CommandLine line = ParseCommandLine(args);
  // Asking how the synchroniser is never makes this process one: no service, no lock.
  if (line.status) return RunStatusCommand(line);
  QuitSignal quit;
  quit.HandleTerminationSignals();

  const RunMode mode =
      DecideRunMode(line, [] { return platform::ServiceAccountIsCurrentUser(SincService()); });
  // Registering or removing the service is all such a process does: it neither reads the
  // store's settings nor synchronises.
  if (mode == RunMode::kService && ModoInstalacao(line)) {
    return InstallOrRemoveService(line, platform::ExecutablePath(), platform::TellTechnician);
  }

  // A service answers its manager first, so that even a start refused by the lock below is
  // seen as a start and a stop rather than a service that never answered. The manager is
  // told how the process ended: a failing end is written to the event log and restarts the
  // service (its recovery actions).
  std::unique_ptr<ServiceConnection> connection;
  if (mode == RunMode::kService) {
    connection = platform::ConnectServiceManager(SincService(), quit);
  }
  const int status = RunAlone(line, mode, quit);
  if (connection) connection->SetExitStatus(status);
  return status;
}

}  // namespace
}  // namespace zlv

int main(int argc, char** argv) {
  zlv::platform::RestrictNewFilesToOwner();
  zlv::platform::KeepFreedMemoryUntilTrim();
  try {
    return zlv::Main(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "ZlvSinc: " << e.what() << std::endl;
    return zlv::kExitFailed;
  }
}
