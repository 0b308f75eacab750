#include "host/main_loop.h"

#include <algorithm>
#include <exception>
#include <string>

#include "bizlib/log_text.h"
#include "log/activity_log.h"

namespace zlv {

void RunContainedTick(const std::function<void()>& tick, ActivityLog& log) {
  try {
    tick();
  } catch (const std::exception& e) {
    try {
      log.GravaLog(std::string("timSincronismoTimer: Erro -> ") + LogText(e.what()));
    } catch (const std::exception&) {
      // The log cannot be written either; the next tick tries again.
    }
  }
}

void RunMainLoop(const MainLoopParts& parts) {
  double wait = 0;
  while (!parts.wait_for_quit(wait)) {
    if (parts.timer.TakeTick()) {
      RunContainedTick(parts.tick, parts.log);
      wait = 0;  // the quit message is looked at between ticks, and the next due time anew
      continue;
    }
    wait = kLongestWaitSeconds;
    if (const std::optional<double> due = parts.timer.DueSteady()) {
      wait = std::clamp(*due - parts.clock.Steady(), 0.0, kLongestWaitSeconds);
    }
  }
}

}  // namespace zlv
