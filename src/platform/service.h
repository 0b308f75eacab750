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
#include <stdexcept>
#include <string>
#include <vector>

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
  // Windows. Started a little after the automatic services, so that the store's database
  // server and the network are usually up; the program waits for its database in any case,
  // so the service depends on no other service (a dependency on the database server's
  // service, whose name varies by instance, would keep the synchroniser down with it).
  bool delayed_start = true;
  // Windows recovery: the delay before each restart after a failing end, first failure
  // first; after the last one the manager leaves the service stopped. The count of failures
  // starts again after failure_reset_s without one.
  std::vector<int> restart_delays_ms = {};
  int failure_reset_s = 86400;
  // How long a stop may take: the cycle in progress finishes first (a slow central server or
  // database answers within their time-outs).
  int stop_wait_hint_ms = 30000;
};

// Handed to the service manager for the life of the process (Windows: the dispatcher thread;
// a stop request posts the quit message and is reported pending until the process ends).
// Ends the connection when destroyed, reporting the service stopped with the exit status
// last given to SetExitStatus (service_status.h), or a failure (1) when none was given: the
// process is leaving through an exception.
class ServiceConnection {
 public:
  virtual ~ServiceConnection() = default;
  virtual void SetExitStatus(int /*status*/) {}
};

// The service manager refused the current account (Windows: a prompt that is not elevated).
class ElevationRequired : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace platform {

// Registers the service to run program with no parameter (the codes then come from the local
// parameter file). Throws std::runtime_error with the reason when it cannot (ElevationRequired
// when the account may not register services).
void InstallService(const ServiceDefinition& service, const std::filesystem::path& program);
// Removes the registration. Throws std::runtime_error when it is not there or cannot be
// removed.
void UninstallService(const ServiceDefinition& service);

// True when the service is registered and runs under the account of the current user (the
// sign that the service manager started this process). Windows compares security identifiers
// (service_account.h); POSIX the unit's User= with this process's user. Never fails: anything
// that cannot be read means false.
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
