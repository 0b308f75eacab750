// TSincForm: the main form. It owns, for the life of the process, every shared component of
// the synchroniser: the process-wide values, the log, the store database connection
// (adcSincronismo), the central server connection (netSincronismo), the synchronisation timer
// (timSincronismo) and cycle, the local datasets, and the watchdog thread. Everything is built
// up front, before the store database connects: FormCreate starts the work (or, while the
// database does not open, leaves the rest of start-up to the ticks); Run pumps the main loop
// until the quit message, or until a start-up finished late refuses to run.
//
// The clock, the configuration key and the command runner are handed in (the real ones in the
// program, doubles in tests) and must outlive the form. Destroying the form stops the
// watchdog first and closes the connections after it.
//
// Every sign of life and every tick of the cycle go to the health record and the metrics file
// (health/health_recorder.h): Dados/ZlvSincEstado.json, and zlvsinc.prom in the folder the
// configuration key's MetricsDir names (Dados/metrics when it names none).
//
// Main thread (the watchdog is the one other thread, and only touches its own shared values).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "data/dataset.h"
#include "database/store_connection.h"
#include "health/health_recorder.h"
#include "host/startup.h"
#include "host/watchdog.h"
#include "log/activity_log.h"
#include "platform/config_key.h"
#include "platform/process.h"
#include "platform/quit_signal.h"
#include "store/services.h"
#include "sync/central_client.h"
#include "sync/cycle.h"
#include "sync/sync_timer.h"

namespace zlv {

struct SincFormSetup {
  std::string first_parameter;           // "<branch>_<register>_", or empty
  std::filesystem::path exe_folder;      // the installation's data: log, database, tickets
  std::filesystem::path program_folder;  // where the watchdog restarts the program from
  std::string image_name;                // the program's image (restart and its log line)
  // False for a process that ends after its first cycle (ONCE): nothing may restart it.
  bool start_watchdog = true;
  // False for ONCE as well: a store database that does not open ends start-up (kFailed)
  // instead of being waited for on the timer.
  bool wait_for_database = true;
  const ConfigKey& config_key;
  const Clock& clock;
  CommandRunner& runner;
  // Opens the store database; empty: the one the configuration key names. Tests put the real
  // database behind a fault injector here.
  StoreConnection::Opener store_opener = nullptr;
  // Run as the service (the health record tells the status command so).
  bool service = false;
  // Unix time now, for the metrics file; the system's clock when empty.
  std::function<double()> unix_now = nullptr;
};

class TSincForm {
 public:
  explicit TSincForm(SincFormSetup setup);
  ~TSincForm();
  TSincForm(const TSincForm&) = delete;
  TSincForm& operator=(const TSincForm&) = delete;

  StartupResult FormCreate();
  // The main loop, until quit is posted (kStarted) or a start-up the ticks finished ended the
  // process (kNotSetUp, kFailed: the loop posts quit itself).
  StartupResult Run(QuitSignal& quit);
  // One tick of the timer, as the main loop runs it: the rest of start-up while the store
  // database has not opened, the cycle afterwards. Tests drive it with a fake clock.
  void Tick();
  // The outcome of a start-up the ticks finished, once it says the process must end.
  const std::optional<StartupResult>& ended() const { return ended_; }

  // What the last tick of the cycle did.
  CycleOutcome last_cycle() const { return cycle_.last_outcome(); }
  Globals& globals() { return globals_; }
  ActivityLog& log() { return log_; }

 private:
  // netSincronismoBeforeConnect: LeIpServer, then the host and port for the attempt.
  CentralEndpoint netSincronismoBeforeConnect() const;
  StartupParts Parts();
  // One tick of the cycle, recorded in the health record however it ends.
  void RunCycle();
  HealthRecorder::Setup RecorderSetup();

  SincFormSetup setup_;
  Globals globals_;
  ActivityLog log_;
  StoreConnection adcSincronismo_;
  Services services_;
  CentralClient netSincronismo_;
  SyncTimer timSincronismo_;
  Dataset cdsParametros_;
  Dataset cdsRoteirizador_;
  SyncCycle cycle_;
  HealthRecorder recorder_;
  bool waiting_for_database_ = false;
  std::optional<StartupResult> ended_;
  StoppableSleeper watchdog_sleeper_;
  TDisparaThreadZlvSinc watchdog_;  // last: stopped before anything it reads goes away
};

}  // namespace zlv
