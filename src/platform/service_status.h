// What the service manager is told when the service's process ends: a clean end is a plain
// stop; any other exit status is a failure the manager writes to the event log and answers
// with the recovery actions (the service is registered so that a failing stop counts, not
// only a crash). Pure; any thread.
#pragma once

#include <cstdint>

namespace zlv::platform {

// ERROR_SERVICE_SPECIFIC_ERROR: "the service has returned a service-specific error code".
inline constexpr uint32_t kErrorServiceSpecificError = 1066;

struct ServiceExitCodes {
  uint32_t win32_exit_code = 0;        // SERVICE_STATUS::dwWin32ExitCode
  uint32_t service_specific_code = 0;  // SERVICE_STATUS::dwServiceSpecificExitCode
};

ServiceExitCodes ServiceExitCodesFor(int exit_status);

}  // namespace zlv::platform
