#include <windows.h>

#include <vector>

#include "platform/config_key.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Zelvora\\ZlvSinc";

// The installation's key under HKEY_LOCAL_MACHINE, read afresh on every Read (a changed
// IpServer counts at the next connection). Text values only: REG_SZ, or REG_EXPAND_SZ with
// its variables expanded.
class RegistryKey : public ConfigKey {
 public:
  std::optional<std::string> Read(const std::string& name) const override {
    const std::wstring value_name = win32::Widen(name);
    // RRF_RT_REG_SZ takes REG_EXPAND_SZ too, expanded (asking for it by name is refused).
    const DWORD types = RRF_RT_REG_SZ;
    std::vector<wchar_t> buffer(256);
    for (;;) {
      DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
      const LSTATUS rc = RegGetValueW(HKEY_LOCAL_MACHINE, kKeyPath, value_name.c_str(), types,
                                      nullptr, buffer.data(), &bytes);
      if (rc == ERROR_MORE_DATA) {
        // The value grew between two calls, or the first buffer was short: ask again.
        buffer.resize(bytes / sizeof(wchar_t) + 1);
        continue;
      }
      if (rc != ERROR_SUCCESS) return std::nullopt;
      // bytes counts the terminating zero that RegGetValue guarantees.
      size_t length = bytes / sizeof(wchar_t);
      while (length > 0 && buffer[length - 1] == L'\0') --length;
      return win32::Narrow(std::wstring_view(buffer.data(), length));
    }
  }
};

}  // namespace

const ConfigKey& MachineConfigKey() {
  static const RegistryKey key;
  return key;
}

}  // namespace zlv::platform
