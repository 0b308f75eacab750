// The computer's local wall-clock time. The store's rules (the log's daily file, production
// times, the day window of the upload) are all in local time.
#pragma once

#include "data/datetime.h"

namespace zlv::platform {

DateTime LocalNow();

}  // namespace zlv::platform
