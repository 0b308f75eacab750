#include "platform/system_error_text.h"

#include <string_view>

#include "platform/win32_support.h"

namespace zlv::platform {

std::string SystemErrorText(const std::error_code& ec) {
  // asio keeps a system category of its own beside the standard library's; both hold the
  // system's (and Winsock's) error codes.
  const std::string_view category = ec.category().name();
  if (category == "system" || category == "asio.system") {
    const std::string text = win32::SystemMessage(static_cast<unsigned long>(ec.value()));
    if (!text.empty()) return text;
  }
  return win32::AnsiToUtf8(ec.message());
}

}  // namespace zlv::platform
