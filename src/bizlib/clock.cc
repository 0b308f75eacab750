#include "bizlib/clock.h"

#include <chrono>

#include "platform/local_time.h"

namespace zlv {

DateTime SystemClock::Now() const { return platform::LocalNow(); }

double SystemClock::Steady() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace zlv
