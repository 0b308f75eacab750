#include "bizlib/clock.h"

#include "platform/local_time.h"

namespace zlv {

DateTime SystemClock::Now() const { return platform::LocalNow(); }

}  // namespace zlv
