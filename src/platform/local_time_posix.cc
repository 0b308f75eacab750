#include "platform/local_time.h"

#include <sys/time.h>

#include <ctime>

namespace zlv::platform {

DateTime LocalNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm local{};
  time_t seconds = tv.tv_sec;
  localtime_r(&seconds, &local);
  return DateTime::FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec, static_cast<int>(tv.tv_usec / 1000));
}

}  // namespace zlv::platform
