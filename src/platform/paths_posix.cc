#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

namespace zlv::platform {

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return path;
}

std::filesystem::path ExeFolder() {
  if (const char* home = std::getenv("ZLVSINC_HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home);
  }
  return ExecutablePath().parent_path();
}

}  // namespace zlv::platform
