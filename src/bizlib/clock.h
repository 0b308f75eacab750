// Clock: where every "now" of the synchroniser comes from, so that the watchdog, the
// scheduled-order release and the log's daily files are tested without waiting.
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
};

class SystemClock : public Clock {
 public:
  DateTime Now() const override;
};

class FakeClock : public Clock {
 public:
  explicit FakeClock(DateTime start) : now_(start) {}
  DateTime Now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void Set(DateTime t) {
    std::lock_guard lock(mutex_);
    now_ = t;
  }
  void Advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ = now_.AddSeconds(seconds);
  }

 private:
  mutable std::mutex mutex_;
  DateTime now_;
};

}  // namespace zlv
