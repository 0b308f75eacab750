// TSincForm: the main form. It owns, for the life of the process, every shared component of
// the synchroniser: the process-wide values, the log, the store database connection
// (adcSincronismo), the central server connection (netSincronismo), the synchronisation timer
// (timSincronismo) and cycle, the local datasets, and the watchdog thread. FormCreate starts
// the work; Run pumps the main loop until the quit message.
//
// The clock, the configuration key and the command runner are handed in (the real ones in the
// program, doubles in tests) and must outlive the form. Destroying the form stops the
// watchdog first and closes the connections after it.
//
// Main thread (the watchdog is the one other thread, and only touches its own shared values).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "data/dataset.h"
#include "host/activity_log.h"
#include "host/startup.h"
#include "host/store_connection.h"
#include "host/watchdog.h"
#include "platform/config_key.h"
#include "platform/process.h"
#include "platform/quit_signal.h"
#include "storedb/services.h"
#include "sync/central_client.h"
#include "sync/sync_timer.h"

namespace zlv {

class SyncCycle;

struct SincFormSetup {
  std::string first_parameter;           // "<branch>_<register>_", or empty
  std::filesystem::path exe_folder;      // the installation's data: log, database, tickets
  std::filesystem::path program_folder;  // where the watchdog restarts the program from
  std::string image_name;                // the program's image (restart and its log line)
  // False for a process that ends after its first cycle (ONCE): nothing may restart it.
  bool start_watchdog = true;
  const ConfigKey& config_key;
  const Clock& clock;
  CommandRunner& runner;
};

class TSincForm {
 public:
  explicit TSincForm(SincFormSetup setup);
  ~TSincForm();
  TSincForm(const TSincForm&) = delete;
  TSincForm& operator=(const TSincForm&) = delete;

  StartupResult FormCreate();
  // The main loop, until quit is posted.
  void Run(QuitSignal& quit);

  Globals& globals() { return globals_; }
  ActivityLog& log() { return log_; }

 private:
  // netSincronismoBeforeConnect: LeIpServer, then the host and port for the attempt.
  CentralEndpoint netSincronismoBeforeConnect() const;

  SincFormSetup setup_;
  Globals globals_;
  ActivityLog log_;
  StoreConnection adcSincronismo_;
  Services services_;
  CentralClient netSincronismo_;
  SyncTimer timSincronismo_;
  Dataset cdsParametros_;
  Dataset cdsRoteirizador_;
  std::unique_ptr<SyncCycle> cycle_;  // built once the store connection is open
  StoppableSleeper watchdog_sleeper_;
  TDisparaThreadZlvSinc watchdog_;  // last: stopped before anything it reads goes away
};

}  // namespace zlv
