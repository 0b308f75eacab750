#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "platform/config_key.h"
#include "platform/win32_handle.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Zelvora\\ZlvSinc";

// A text value of the key in one view of the registry; nullopt when the key or the value is
// not there. REG_SZ, or REG_EXPAND_SZ with its variables expanded.
std::optional<std::string> ReadValue(REGSAM view, const std::wstring& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE | view, &raw) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const win32::RegistryKey key(raw);
  // RRF_RT_REG_SZ takes REG_EXPAND_SZ too, expanded (asking for it by name is refused).
  const DWORD types = RRF_RT_REG_SZ;
  std::vector<wchar_t> buffer(256);
  for (;;) {
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS rc =
        RegGetValueW(key.get(), nullptr, name.c_str(), types, nullptr, buffer.data(), &bytes);
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

// The installation's key under HKEY_LOCAL_MACHINE, read afresh on every Read (a changed
// IpServer counts at the next connection). Both builds read the system's native view first
// (64-bit on a 64-bit Windows, where the documentation puts the key), whatever their own is,
// and a value missing there from the 32-bit view: 32-bit installers and the technicians'
// 32-bit tools write the key under WOW6432Node. On a 32-bit Windows both are the one view.
class RegistryKey : public ConfigKey {
 public:
  std::optional<std::string> Read(const std::string& name) const override {
    const std::wstring value_name = win32::Widen(name);
    if (auto value = ReadValue(KEY_WOW64_64KEY, value_name)) return value;
    return ReadValue(KEY_WOW64_32KEY, value_name);
  }
};

}  // namespace

const ConfigKey& MachineConfigKey() {
  static const RegistryKey key;
  return key;
}

}  // namespace zlv::platform
