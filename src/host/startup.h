// FormCreate: turns a bare process into a running synchroniser, in this order: connect the
// store database; log "FormCreate"; start the watchdog's clocks; read the branch and cash
// register (LeParametros); refuse to run when that cash register is not set up for delivery
// synchronisation; learn the store; create the ticket folder; read the automatic-receipt flag
// and the router settings (dispatching pending router orders at once when the store uses the
// router); write the printer routing; enable the timer; start the watchdog; run the first tick;
// allow periodic restarts.
//
// A store database that does not open (its server may start after the cash register) is logged
// ("adcSincronismo: Erro -> " and the reason) and, when the process may wait for it, the timer
// and the watchdog start anyway: each tick calls ResumeStartup, which tries the connection
// again and, once it opens, goes on from the "FormCreate" line. A link lost in the middle of
// the steps after it is waited for the same way.
//
// Outcomes: kStarted, the process lives on its timer; kWaitingForDatabase, it lives on its
// timer and each tick calls ResumeStartup; kNotSetUp, the cash register cannot run here
// (logged; the process must end); kBadParameters, the same for a malformed parameter or an
// unreadable Zelvora.cds; kDatabaseUnavailable, the store database did not open (or its link was
// lost) and the process may not wait for it; kFailed, start-up could not finish (logged with its
// cause; the process must end rather than live on without timer and watchdog). A failure of the
// first tick is logged and start-up still completes: the timer retries it.
//
// Main thread.
#pragma once

#include <functional>
#include <string>

#include "data/dataset.h"
#include "database/store_connection.h"
#include "store/services.h"
#include "sync/sync_timer.h"

namespace zlv {

inline constexpr const char* kCaixaNaoParametrizado =
    "Este caixa não se encontra parametrizado para executar a sincronização do delivery";

enum class StartupOutcome {
  kStarted,
  kWaitingForDatabase,
  kNotSetUp,
  kBadParameters,
  kDatabaseUnavailable,
  kFailed
};

struct StartupResult {
  StartupOutcome outcome = StartupOutcome::kFailed;
  std::string message;  // what went wrong, for kWaitingForDatabase, kNotSetUp and kFailed
};

struct StartupParts {
  Services& services;  // services.db is adcSincronismo
  StoreConnection& adcSincronismo;
  std::string first_parameter;
  Dataset& cdsParametros;
  Dataset& cdsRoteirizador;
  SyncTimer& timSincronismo;
  // False for a process that must end when the database does not open (ONCE, a technician's
  // check): kFailed instead of kWaitingForDatabase.
  bool wait_for_database = true;
  // Step 3 done: gCDFILIAL and gCDCAIXA hold this cash register's codes.
  std::function<void()> codes_read;
  std::function<void()> start_watchdog;  // step 12; may be called twice
  std::function<void()> first_tick;      // step 13: timSincronismoTimer
};

StartupResult FormCreate(StartupParts& parts);
// For a start-up left at kWaitingForDatabase, at every tick: the same outcomes as FormCreate.
StartupResult ResumeStartup(StartupParts& parts);

}  // namespace zlv
