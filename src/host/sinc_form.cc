#include "host/sinc_form.h"

#include "host/main_loop.h"
#include "host/memory_trim.h"
#include "host/parameters.h"
#include "sync/cycle.h"

namespace zlv {

TSincForm::TSincForm(SincFormSetup setup)
    : setup_(std::move(setup)),
      log_(setup_.exe_folder, setup_.clock),
      adcSincronismo_(setup_.config_key, setup_.exe_folder),
      services_{adcSincronismo_, log_, setup_.clock, globals_, setup_.exe_folder},
      netSincronismo_(log_, [this] { return netSincronismoBeforeConnect(); }),
      timSincronismo_(setup_.clock),
      watchdog_(globals_, log_, setup_.clock, watchdog_sleeper_, setup_.runner,
                setup_.program_folder, setup_.image_name) {}

TSincForm::~TSincForm() { watchdog_.Stop(); }

CentralEndpoint TSincForm::netSincronismoBeforeConnect() const {
  CentralEndpoint endpoint;
  LeIpServer(setup_.config_key, endpoint.host, endpoint.port);
  return endpoint;
}

StartupResult TSincForm::FormCreate() {
  StartupParts parts{
      .services = services_,
      .adcSincronismo = adcSincronismo_,
      .first_parameter = setup_.first_parameter,
      .cdsParametros = cdsParametros_,
      .cdsRoteirizador = cdsRoteirizador_,
      .timSincronismo = timSincronismo_,
      .after_connect =
          [this] {
            if (cycle_) return;
            cycle_ = std::make_unique<SyncCycle>(services_, netSincronismo_, timSincronismo_,
                                                 [this] { TrimAppMemorySize(log_); });
            cycle_->SetFlushDns([this] { setup_.runner.FlushDns(); });
            cycle_->SetStoreReconnect([this] { adcSincronismo_.Reconnect(); });
          },
      .start_watchdog =
          [this] {
            if (setup_.start_watchdog) watchdog_.Start();
          },
      .first_tick = [this] { cycle_->timSincronismoTimer(); },
  };
  return zlv::FormCreate(parts);
}

void TSincForm::Run(QuitSignal& quit) {
  RunMainLoop({.timer = timSincronismo_,
               .clock = setup_.clock,
               .log = log_,
               .tick = [this] { cycle_->timSincronismoTimer(); },
               .wait_for_quit = [&quit](double seconds) { return quit.WaitFor(seconds); }});
}

}  // namespace zlv
