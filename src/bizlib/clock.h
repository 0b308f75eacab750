// Clock: where every "now" of the synchroniser comes from, so that the watchdog, the
// scheduled-order release and the log's daily files are tested without waiting.
//
// A clock has two faces. Now() is the wall clock, in local time: log stamps, database values
// and the calendar rules (the scheduled release, the log's daily file) read it. Steady() counts
// seconds from an arbitrary start and is not moved when someone sets the computer's date: every
// interval (the timer's 30 s, the watchdog's stall and period) is measured on it, so a clock put
// right by hours neither stops the synchronisation nor restarts it.
//
// SystemClock is thread-safe. FakeClock is thread-safe too (the watchdog thread reads it).
#pragma once

#include <mutex>

#include "data/datetime.h"

namespace zlv {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
  // Seconds since an arbitrary start; only differences between two readings mean anything.
  virtual double Steady() const = 0;
};

// One instant read on both faces: the date for people, the steady reading for ages.
struct Instant {
  DateTime at;
  double steady = 0;
};

inline Instant ReadInstant(const Clock& clock) { return {clock.Now(), clock.Steady()}; }

class SystemClock : public Clock {
 public:
  DateTime Now() const override;
  double Steady() const override;
};

// Advance() moves both faces, as time passing does; Set() moves only the wall clock, as a
// person setting the date does.
class FakeClock : public Clock {
 public:
  explicit FakeClock(DateTime start) : now_(start) {}
  DateTime Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  double Steady() const override {
    std::lock_guard lock(mutex_);
    return steady_;
  }
  void Set(DateTime t) {
    std::lock_guard lock(mutex_);
    now_ = t;
  }
  void Advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ = now_.AddSeconds(seconds);
    steady_ += seconds;
  }

 private:
  mutable std::mutex mutex_;
  DateTime now_;
  double steady_ = 0;
};

}  // namespace zlv
