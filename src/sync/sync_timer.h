// SyncTimer (the form's `timSincronismo`): whether the synchronisation timer is enabled and
// when its next tick is due, on the injectable clock, so the cycle is tested without waiting.
// Due times are on the clock's steady face: a clock set back an hour must not hold the next tick
// for an hour, nor one set forward fire it early.
//
// It behaves like a window timer: while enabled it fires every interval; enabling a disabled
// timer starts a full interval from that moment, so a run that switches it off and on again
// gets its next tick one interval after its end. Enabling an enabled timer changes nothing.
//
// Main thread only: the main loop asks TakeTick() and runs the tick; the tick's runs switch it.
#pragma once

#include <optional>

#include "bizlib/clock.h"
#include "data/datetime.h"

namespace zlv {

class SyncTimer {
 public:
  // 30 s between ticks: the central server expects each store at least this often, and a
  // shorter period would only repeat empty downloads.
  static constexpr double kDefaultIntervalSeconds = 30.0;
  // A due time reached by adding seconds may differ from the clock's reading of the same
  // instant in the last bits. A millisecond is far below anything the timer is used for.
  static constexpr double kDueToleranceSeconds = 0.001;

  explicit SyncTimer(const Clock& clock, double interval_seconds = kDefaultIntervalSeconds)
      : clock_(clock), interval_seconds_(interval_seconds) {}
  SyncTimer(const SyncTimer&) = delete;
  SyncTimer& operator=(const SyncTimer&) = delete;

  void SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_) due_ = clock_.Steady() + interval_seconds_;
  }
  bool Enabled() const { return enabled_; }
  double interval_seconds() const { return interval_seconds_; }

  // When the next tick comes, on the clock's steady face; nothing while disabled.
  std::optional<double> DueSteady() const {
    if (!enabled_) return std::nullopt;
    return due_;
  }
  // The same on the wall clock as it reads now; setting the clock moves it.
  std::optional<DateTime> DueTime() const {
    if (!enabled_) return std::nullopt;
    return clock_.Now().AddSeconds(due_ - clock_.Steady());
  }

  // True when a tick is due now; the next one is then due one interval later. The caller runs
  // the tick (timSincronismoTimer) when it gets true.
  bool TakeTick() {
    if (!enabled_) return false;
    const double now = clock_.Steady();
    if (due_ - now > kDueToleranceSeconds) return false;
    due_ = now + interval_seconds_;
    return true;
  }

 private:
  const Clock& clock_;
  double interval_seconds_;
  bool enabled_ = false;
  double due_ = 0;  // steady seconds
};

}  // namespace zlv
