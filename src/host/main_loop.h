// The main thread's loop: it waits for the synchronisation timer and runs its tick, and ends
// when the quit message is posted. Nothing else runs on the main thread.
//
// Each tick is contained: a failure that escapes it is logged as "timSincronismoTimer: Erro -> "
// and its message, and the next tick comes as usual (the timer is the retry loop). The wait
// between ticks is measured on the clock's steady face, which setting the date does not move,
// and taken in short slices, so a timer switched meanwhile is followed within a second.
//
// Main thread.
#pragma once

#include <functional>

#include "bizlib/clock.h"
#include "sync/sync_timer.h"

namespace zlv {

class ActivityLog;

struct MainLoopParts {
  SyncTimer& timer;
  const Clock& clock;
  ActivityLog& log;
  std::function<void()> tick;  // timSincronismoTimer
  // Waits up to the given seconds for the quit message; true once it has been posted.
  std::function<bool(double)> wait_for_quit;
};

// The longest single wait: how late a re-enabled timer may be seen.
inline constexpr double kLongestWaitSeconds = 1.0;

void RunMainLoop(const MainLoopParts& parts);

// Runs one tick and logs what escapes it; never throws.
void RunContainedTick(const std::function<void()>& tick, ActivityLog& log);

}  // namespace zlv
