#include "host/memory_trim.h"

#include <exception>

#include "log/activity_log.h"
#include "platform/memory_trim.h"

namespace zlv {

void TrimAppMemorySize(ActivityLog& log) {
  try {
    platform::TrimWorkingSet();
  } catch (const std::exception&) {
    log.GravaLog("Except TrimAppMemorySize");
  }
}

}  // namespace zlv
