#include "platform/service_status.h"

namespace zlv::platform {

ServiceExitCodes ServiceExitCodesFor(int exit_status) {
  if (exit_status == 0) return {};
  return {kErrorServiceSpecificError, static_cast<uint32_t>(exit_status)};
}

}  // namespace zlv::platform
