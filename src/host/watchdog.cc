#include "host/watchdog.h"

#include <chrono>
#include <cmath>
#include <exception>

#include "bizlib/log_text.h"
#include "bizlib/regional.h"
#include "log/activity_log.h"

namespace zlv {

bool StoppableSleeper::Sleep(double seconds) {
  std::unique_lock lock(mutex_);
  stopped_changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                            [this] { return stopped_; });
  return !stopped_;
}

void StoppableSleeper::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  stopped_changed_.notify_all();
}

TDisparaThreadZlvSinc::TDisparaThreadZlvSinc(Globals& globals, ActivityLog& log, const Clock& clock,
                                             Sleeper& sleeper, CommandRunner& runner,
                                             std::filesystem::path folder, std::string image,
                                             WatchdogSettings settings)
    : globals_(globals),
      log_(log),
      clock_(clock),
      sleeper_(sleeper),
      runner_(runner),
      folder_(std::move(folder)),
      image_(std::move(image)),
      settings_(settings) {}

TDisparaThreadZlvSinc::~TDisparaThreadZlvSinc() { Stop(); }

void TDisparaThreadZlvSinc::Start(RestartCodes codes) {
  HandOver(std::move(codes));
  if (thread_.joinable()) return;
  try {
    thread_ = std::thread([this] { Execute(); });
  } catch (const std::exception&) {
  }
}

void TDisparaThreadZlvSinc::HandOver(RestartCodes codes) {
  std::lock_guard lock(codes_mutex_);
  codes_ = std::move(codes);
}

void TDisparaThreadZlvSinc::Stop() {
  sleeper_.Stop();
  if (thread_.joinable()) thread_.join();
}

void TDisparaThreadZlvSinc::Execute() {
  try {
    while (sleeper_.Sleep(settings_.poll_seconds)) {
      if (!Pass()) return;
    }
  } catch (const std::exception& e) {
    try {
      log_.GravaLog(std::string("Erro DisparaThreadZlvSinc:") + LogText(e.what()));
    } catch (const std::exception&) {
      // The log itself is failing: nothing is left to tell it to.
    }
  }
}

double TDisparaThreadZlvSinc::SecondsSince(double steady) const {
  return std::round((clock_.Steady() - steady) * 1000) / 1000;
}

bool TDisparaThreadZlvSinc::Pass() {
  if (SecondsSince(globals_.gUltimaAtividade.load()) > settings_.stall_seconds) {
    Restart("Reinicia o ZlvSinc apos 3 minutos parado: ");
    globals_.ResetLastActivity(clock_);
  }
  if (SecondsSince(globals_.gInicioPeriodo.load()) / 60 > settings_.period_minutes &&
      globals_.gLiberaReinicio.load()) {
    globals_.gAvisoReinicio.store(true);
    if (!sleeper_.Sleep(settings_.grace_seconds)) return false;
    if (globals_.gLiberaReinicio.load()) {
      Restart("Reinicia o ZlvSinc apos 240 minutos executando: ");
      if (!sleeper_.Sleep(settings_.pause_seconds)) return false;
      globals_.gInicioPeriodo.store(clock_.Steady());
    }
  }
  globals_.gAvisoReinicio.store(false);
  return true;
}

// Both lines show the last sign of life, the period's as well: it tells how long the
// synchronisation had been quiet when the process was renewed.
void TDisparaThreadZlvSinc::Restart(const char* reason) {
  const DateTime last(globals_.gUltimaAtividadeData.load());
  log_.GravaLog(reason + RegionalSettings::Default().FormatDateTime("dd/mm/yyyy hh:mm:ss", last) +
                " " + (folder_ / image_).string());
  log_.GravaLog("");
  RestartCodes codes;
  {
    std::lock_guard lock(codes_mutex_);
    codes = codes_;
  }
  runner_.RestartProgram(
      RestartRequest{folder_, std::move(codes.cdfilial), std::move(codes.cdcaixa)});
}

}  // namespace zlv
