// FormCreate: turns a bare process into a running synchroniser, in this order: connect the
// store database; log "FormCreate"; start the watchdog's clocks; read the branch and cash
// register (LeParametros); refuse to run when that cash register is not set up for delivery
// synchronisation; learn the store; create the ticket folder; read the automatic-receipt flag
// and the router settings (dispatching pending router orders at once when the store uses the
// router); write the printer routing; enable the timer; start the watchdog; run the first tick;
// allow periodic restarts.
//
// Outcomes: kStarted, the process lives on its timer; kNotSetUp, the cash register cannot run
// here (logged; the process must end); kFailed, start-up could not finish (logged with its
// cause; the process must end rather than live on without timer and watchdog). A failure of
// the first tick is logged and start-up still completes: the timer retries it.
//
// Main thread.
#pragma once

#include <functional>
#include <string>

#include "data/dataset.h"
#include "host/store_connection.h"
#include "storedb/services.h"
#include "sync/sync_timer.h"

namespace zlv {

inline constexpr const char* kCaixaNaoParametrizado =
    "Este caixa não se encontra parametrizado para executar a sincronização do delivery";

enum class StartupOutcome { kStarted, kNotSetUp, kFailed };

struct StartupResult {
  StartupOutcome outcome = StartupOutcome::kFailed;
  std::string message;  // what went wrong, for kNotSetUp and kFailed
};

struct StartupParts {
  Services& services;  // services.db is adcSincronismo
  StoreConnection& adcSincronismo;
  std::string first_parameter;
  Dataset& cdsParametros;
  Dataset& cdsRoteirizador;
  SyncTimer& timSincronismo;
  std::function<void()> after_connect;   // builds what needs an open connection
  std::function<void()> start_watchdog;  // step 12
  std::function<void()> first_tick;      // step 13: timSincronismoTimer
};

StartupResult FormCreate(StartupParts& parts);

}  // namespace zlv
