// The process-wide values shared by the subsystems (one set per process). The four watchdog
// values are atomics: the watchdog thread reads and writes them beside the main thread.
// Everything else belongs to the main thread.
#pragma once

#include <atomic>
#include <string>

#include "data/datetime.h"

namespace zlv {

struct Globals {
  std::string gCDFILIAL;
  std::string gCDCAIXA;
  std::string gCDLOJA;
  std::string gIDIMPAUTCUPZLV = "N";
  std::string gIDUTILINTROT;
  std::string gCDSENHAPED;

  std::atomic<double> gUltimaAtividade{0};  // DateTime days
  std::atomic<double> gInicioPeriodo{0};
  std::atomic<bool> gLiberaReinicio{false};
  std::atomic<bool> gAvisoReinicio{false};

  void Touch(DateTime now) { gUltimaAtividade.store(now.days()); }
};

}  // namespace zlv
