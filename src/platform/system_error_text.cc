#include "platform/system_error_text.h"

#include <stdexcept>

namespace zlv::platform {

std::string PosixErrorText(int error) {
  return SystemErrorText(std::error_code(error, std::generic_category()));
}

void ThrowPosixError(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + PosixErrorText(error));
}

}  // namespace zlv::platform
