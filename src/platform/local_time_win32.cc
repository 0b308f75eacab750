#include <windows.h>

#include "platform/local_time.h"

namespace zlv::platform {

DateTime LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return DateTime::FromCivil(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                             now.wMilliseconds);
}

}  // namespace zlv::platform
