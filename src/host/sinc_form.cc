#include "host/sinc_form.h"

#include <chrono>

#include "bizlib/log_text.h"
#include "host/main_loop.h"
#include "host/memory_trim.h"
#include "host/parameters.h"
#include "platform/health_probe.h"

namespace zlv {

TSincForm::TSincForm(SincFormSetup setup)
    : setup_(std::move(setup)),
      log_(setup_.exe_folder, setup_.clock),
      adcSincronismo_(setup_.store_opener ? StoreConnection(setup_.store_opener)
                                          : StoreConnection(setup_.config_key, setup_.exe_folder)),
      services_{adcSincronismo_, log_, setup_.clock, globals_, setup_.exe_folder},
      netSincronismo_(log_, [this] { return netSincronismoBeforeConnect(); }),
      timSincronismo_(setup_.clock),
      cycle_(
          services_, adcSincronismo_, netSincronismo_, timSincronismo_,
          [this] { TrimAppMemorySize(log_); }, [this] { setup_.runner.FlushDns(); }),
      recorder_(RecorderSetup()),
      watchdog_(globals_, log_, setup_.clock, watchdog_sleeper_, setup_.runner,
                setup_.program_folder, setup_.image_name) {
  globals_.on_sign_of_life = [this] { recorder_.Heartbeat(); };
}

TSincForm::~TSincForm() { watchdog_.Stop(); }

HealthRecorder::Setup TSincForm::RecorderSetup() {
  const std::optional<std::string> metrics = setup_.config_key.Read("MetricsDir");
  return {.record_file = HealthRecordPath(setup_.exe_folder),
          .metrics_file = (metrics && !metrics->empty()
                               ? std::filesystem::path(*metrics)
                               : setup_.exe_folder / "Dados" / "metrics") /
                          "zlvsinc.prom",
          .clock = setup_.clock,
          .pid = platform::CurrentProcessId(),
          .service = setup_.service,
          .boot_id = platform::BootId(),
          .report =
              [this](const std::string& failure) {
                log_.GravaLog("Erro ao gravar o estado do sincronizador: " + LogText(failure));
              },
          .unix_now = setup_.unix_now ? setup_.unix_now : [] {
            return std::chrono::duration<double>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
          }};
}

void TSincForm::RunCycle() {
  globals_.cycle_activity = {};
  const int failures_before = log_.failure_lines();
  recorder_.CycleStarted();
  auto record = [&](bool ok, std::string failure_line) {
    recorder_.CycleEnded(cycle_.last_outcome().server_reached, ok, std::move(failure_line),
                         globals_.cycle_activity);
  };
  try {
    cycle_.timSincronismoTimer();
  } catch (const std::exception& e) {
    record(false, LogText(e.what()));
    throw;
  }
  const bool ok = log_.failure_lines() == failures_before;
  record(ok, ok ? "" : log_.last_failure_line());
}

CentralEndpoint TSincForm::netSincronismoBeforeConnect() const {
  return LeIpServer(setup_.config_key).value_or(CentralEndpoint{});
}

namespace {

RestartCodes CodesOf(const Globals& globals) { return {globals.gCDFILIAL, globals.gCDCAIXA}; }

}  // namespace

StartupParts TSincForm::Parts() {
  return {
      .services = services_,
      .adcSincronismo = adcSincronismo_,
      .first_parameter = setup_.first_parameter,
      .cdsParametros = cdsParametros_,
      .cdsRoteirizador = cdsRoteirizador_,
      .timSincronismo = timSincronismo_,
      .wait_for_database = setup_.wait_for_database,
      // The watchdog's thread restarts with its own copy of the codes, taken here on the main
      // thread whenever they are read.
      .codes_read =
          [this] {
            watchdog_.HandOver(CodesOf(globals_));
            recorder_.SetStore(globals_.gCDFILIAL, globals_.gCDCAIXA);
          },
      .start_watchdog =
          [this] {
            if (setup_.start_watchdog) watchdog_.Start(CodesOf(globals_));
          },
      .first_tick = [this] { RunCycle(); },
  };
}

StartupResult TSincForm::FormCreate() {
  // The token opens the store's orders at the hub to whoever holds it.
  if (const auto exposed = setup_.config_key.ReadableByOthers();
      exposed && setup_.config_key.Read("Token")) {
    log_.GravaLog("Aviso: o arquivo de configuração " + *exposed +
                  " guarda o Token e pode ser lido por outros usuários: deixe-o legível só "
                  "pelo root (chmod 600)");
  }
  StartupParts parts = Parts();
  const StartupResult result = zlv::FormCreate(parts);
  waiting_for_database_ = result.outcome == StartupOutcome::kWaitingForDatabase;
  return result;
}

void TSincForm::Tick() {
  if (!waiting_for_database_) {
    RunCycle();
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
