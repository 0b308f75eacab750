#include "platform/system_error_text.h"

namespace zlv::platform {

std::string SystemErrorText(const std::error_code& ec) { return ec.message(); }

}  // namespace zlv::platform
