#include "host/sinc_form.h"

#include "host/main_loop.h"
#include "host/memory_trim.h"
#include "host/parameters.h"
#include "sync/cycle.h"

namespace zlv {

TSincForm::TSincForm(SincFormSetup setup)
    : setup_(std::move(setup)),
      log_(setup_.exe_folder, setup_.clock),
      adcSincronismo_(setup_.store_opener ? StoreConnection(setup_.store_opener)
                                          : StoreConnection(setup_.config_key, setup_.exe_folder)),
      services_{adcSincronismo_, log_, setup_.clock, globals_, setup_.exe_folder},
      netSincronismo_(log_, [this] { return netSincronismoBeforeConnect(); }),
      timSincronismo_(setup_.clock),
      cycle_(std::make_unique<SyncCycle>(services_, netSincronismo_, timSincronismo_,
                                         [this] { TrimAppMemorySize(log_); })),
      watchdog_(globals_, log_, setup_.clock, watchdog_sleeper_, setup_.runner,
                setup_.program_folder, setup_.image_name) {
  cycle_->SetFlushDns([this] { setup_.runner.FlushDns(); });
  cycle_->SetStoreConnection(adcSincronismo_);
}

TSincForm::~TSincForm() { watchdog_.Stop(); }

CycleOutcome TSincForm::last_cycle() const { return cycle_->last_outcome(); }

CentralEndpoint TSincForm::netSincronismoBeforeConnect() const {
  return LeIpServer(setup_.config_key).value_or(CentralEndpoint{});
}

StartupParts TSincForm::Parts() {
  return {
      .services = services_,
      .adcSincronismo = adcSincronismo_,
      .first_parameter = setup_.first_parameter,
      .cdsParametros = cdsParametros_,
      .cdsRoteirizador = cdsRoteirizador_,
      .timSincronismo = timSincronismo_,
      .wait_for_database = setup_.wait_for_database,
      .start_watchdog =
          [this] {
            if (setup_.start_watchdog) watchdog_.Start();
          },
      .first_tick = [this] { cycle_->timSincronismoTimer(); },
  };
}

StartupResult TSincForm::FormCreate() {
  StartupParts parts = Parts();
  const StartupResult result = zlv::FormCreate(parts);
  waiting_for_database_ = result.outcome == StartupOutcome::kWaitingForDatabase;
  return result;
}

void TSincForm::Tick() {
  if (!waiting_for_database_) {
    cycle_->timSincronismoTimer();
    return;
  }
  StartupParts parts = Parts();
  const StartupResult result = ResumeStartup(parts);
  if (result.outcome == StartupOutcome::kWaitingForDatabase) return;
  waiting_for_database_ = false;
  if (result.outcome != StartupOutcome::kStarted) ended_ = result;
}

StartupResult TSincForm::Run(QuitSignal& quit) {
  RunMainLoop({.timer = timSincronismo_,
               .clock = setup_.clock,
               .log = log_,
               .tick =
                   [this, &quit] {
                     Tick();
                     if (ended_) quit.Post();
                   },
               .wait_for_quit = [&quit](double seconds) { return quit.WaitFor(seconds); }});
  return ended_.value_or(StartupResult{StartupOutcome::kStarted, ""});
}

}  // namespace zlv
