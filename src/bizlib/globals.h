// The process-wide values shared by the subsystems (one set per process). The watchdog values
// are atomics: the watchdog thread reads and writes them beside the main thread. Everything else
// belongs to the main thread.
//
// The watchdog's times are readings of the clock's steady face (Clock::Steady, seconds), so that
// setting the computer's date neither fakes a stall nor hides one; the wall-clock date of the
// last sign of life is kept beside it only for the restart's log line.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "bizlib/clock.h"
#include "bizlib/cycle_activity.h"

namespace zlv {

struct Globals {
  std::string gCDFILIAL;
  std::string gCDCAIXA;
  std::string gCDLOJA;
  std::string gIDIMPAUTCUPZLV = "N";
  std::string gIDUTILINTROT;
  // The router address was found to be http:// and the operator told so (once per start).
  bool gAvisoRotSemCriptografia = false;

  std::atomic<double> gUltimaAtividade{0};      // steady seconds: the last sign of life
  std::atomic<double> gUltimaAtividadeData{0};  // DateTime days: the same instant, for the log
  std::atomic<double> gInicioPeriodo{0};        // steady seconds: start of the 240-minute period
  std::atomic<bool> gLiberaReinicio{false};
  std::atomic<bool> gAvisoReinicio{false};

  // What the current cycle did, counted where it is done (main thread).
  CycleActivity cycle_activity;
  // Called at every sign of life of the main thread: the health record's heartbeat.
  std::function<void()> on_sign_of_life;

  // A sign of life of the main thread.
  void Touch(const Clock& clock) {
    ResetLastActivity(clock);
    if (on_sign_of_life) on_sign_of_life();
  }
  // The watchdog's own reset after a restart it asked for: no sign of life of the main thread.
  // The two stores are not one step: the watchdog may pair a new steady time with the
  // previous date, which only shifts the date its log line prints by one tick.
  void ResetLastActivity(const Clock& clock) {
    gUltimaAtividadeData.store(clock.Now().days());
    gUltimaAtividade.store(clock.Steady());
  }
};

}  // namespace zlv
