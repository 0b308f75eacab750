// The service registration of the synchroniser and the run-mode question that depends on it.
//
// Windows: the service control manager. POSIX: a systemd unit "<name>.service" in the unit
// folder ($ZLVSINC_UNIT_DIR when set, for tests; else /etc/systemd/system). The unit starts the
// program at boot, runs it as root (User= absent: root plays the part of LocalSystem), leaves
// restarts to the program's own watchdog, and lets the processes the watchdog starts outlive
// the one it ends.
//
// Main thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace zlv {

class QuitSignal;

struct ServiceDefinition {
  std::string name;          // service name; the unit is <name>.service
  std::string display_name;  // the unit's Description
  bool automatic_start = true;
  int wait_hint_ms = 5000;  // how long a start may take before the manager gives up
  bool allow_pause = false;
  bool allow_stop = true;
  bool local_system = true;  // runs under the system account (POSIX: root)
};

// Handed to the service manager for the life of the process (Windows: the dispatcher thread;
// a stop request posts the quit message). Ends the connection when destroyed.
class ServiceConnection {
 public:
  virtual ~ServiceConnection() = default;
};

namespace platform {

// Registers the service to run program with no parameter (the codes then come from the local
// parameter file). Throws std::runtime_error with the reason when it cannot.
void InstallService(const ServiceDefinition& service, const std::filesystem::path& program);
// Removes the registration. Throws std::runtime_error when it is not there or cannot be
// removed.
void UninstallService(const ServiceDefinition& service);

// True when the service is registered and runs under the account of the current user (the
// sign that the service manager started this process). Never fails: anything that cannot be
// read means false.
bool ServiceAccountIsCurrentUser(const ServiceDefinition& service);

// True when the service manager itself started this process, so that it will also start it
// again after a failing end. POSIX: systemd gives every process of a unit INVOCATION_ID; a
// process started by hand as the unit's account runs in service mode without it, and ending
// it for a restart would leave the store without a synchroniser. Windows: a service-mode
// process was started by the service control manager.
bool StartedByServiceManager();

// POSIX: systemd stops the unit with SIGTERM, which the quit signal's termination handler
// already turns into the quit message, so nothing more is connected.
std::unique_ptr<ServiceConnection> ConnectServiceManager(const ServiceDefinition& service,
                                                         QuitSignal& quit);

}  // namespace platform
}  // namespace zlv
