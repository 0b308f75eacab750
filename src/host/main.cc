// ZlvSinc: the store's delivery-order synchroniser. See command_line.h for its command line
// and run_mode.h for how it decides between service and desktop mode.
//
// Exit status: 0 after a normal end (stop request, quit, ONCE, a second desktop instance, a
// done INSTALL or UNINSTALL); 1 when start-up could not finish or INSTALL/UNINSTALL failed;
// 78 (EX_CONFIG, shown by systemd as "CONFIG") when this cash register is not set up to run
// the delivery synchronisation: a configuration matter for the technician, not a crash, and
// nothing a restart would mend.
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
#include "host/run_mode.h"
#include "host/sinc_form.h"
#include "platform/memory_trim.h"
#include "platform/paths.h"
#include "platform/single_instance.h"

namespace zlv {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNotSetUp = 78;

int RunSynchroniser(const CommandLine& line, QuitSignal& quit) {
  if (const char* ca_file = std::getenv("ZLVSINC_CA_FILE");
      ca_file != nullptr && *ca_file != '\0') {
    SetHttpsExtraCaFile(ca_file);
  }
  const SystemClock clock;
  const std::unique_ptr<CommandRunner> runner = platform::MakeCommandRunner();
  TSincForm form({.first_parameter = line.first_parameter,
                  .exe_folder = platform::ExeFolder(),
                  .program_folder = platform::ExecutablePath().parent_path(),
                  .image_name = platform::ProgramImageName(),
                  .start_watchdog = !line.once,
                  .wait_for_database = !line.once,
                  .config_key = platform::MachineConfigKey(),
                  .clock = clock,
                  .runner = *runner});
  StartupResult outcome = form.FormCreate();
  // While the store database does not open, the ticks finish start-up when it does.
  if (outcome.outcome == StartupOutcome::kStarted && line.once) return kExitOk;
  if (outcome.outcome == StartupOutcome::kStarted ||
      outcome.outcome == StartupOutcome::kWaitingForDatabase) {
    outcome = form.Run(quit);
  }
  switch (outcome.outcome) {
    case StartupOutcome::kNotSetUp:
      std::cerr << outcome.message << std::endl;
      return kExitNotSetUp;
    case StartupOutcome::kFailed:
      std::cerr << outcome.message << std::endl;
      return kExitFailed;
    case StartupOutcome::kStarted:
    case StartupOutcome::kWaitingForDatabase:
      break;
  }
  return kExitOk;
}

int Main(const std::vector<std::string>& args) {
  const CommandLine line = ParseCommandLine(args);
  QuitSignal quit;
  quit.HandleTerminationSignals();

  const RunMode mode =
      DecideRunMode(line, [] { return platform::ServiceAccountIsCurrentUser(SincService()); });
  if (mode == RunMode::kService) {
    // Registering or removing the service is all such a process does: it neither reads the
    // store's settings nor synchronises.
    if (ModoInstalacao(line)) {
      return InstallOrRemoveService(line, platform::ExecutablePath(), std::cout, std::cerr);
    }
    const auto connection = platform::ConnectServiceManager(SincService(), quit);
    return RunSynchroniser(line, quit);
  }

  // Held until the process ends; a second desktop instance leaves at once, silently.
  const SingleInstanceLock lock("ZLVSINC");
  if (lock.outcome() == SingleInstanceLock::Outcome::kAlreadyRunning) return kExitOk;
  return RunSynchroniser(line, quit);
}

}  // namespace
}  // namespace zlv

int main(int argc, char** argv) {
  zlv::platform::KeepFreedMemoryUntilTrim();
  try {
    return zlv::Main(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "ZlvSinc: " << e.what() << std::endl;
    return zlv::kExitFailed;
  }
}
