#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"

namespace zlv::platform {

std::filesystem::path ExecutablePath() {
  // Paths longer than MAX_PATH exist; GetModuleFileName cuts them and says so by filling the
  // whole buffer.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path ExeFolder() {
  if (const wchar_t* home = _wgetenv(L"ZLVSINC_HOME"); home != nullptr && *home != L'\0') {
    return std::filesystem::path(home);
  }
  return ExecutablePath().parent_path();
}

}  // namespace zlv::platform
