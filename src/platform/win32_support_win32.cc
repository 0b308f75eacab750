#include <windows.h>

#include "platform/win32_support.h"

namespace zlv::platform::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) throw std::runtime_error("Texto UTF-8 inválido");
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (length <= 0) return std::string(ansi);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), length);
  return Narrow(wide);
}

std::string SystemMessage(unsigned long code, const wchar_t* module) {
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE source = nullptr;
  if (module != nullptr) {
    source = GetModuleHandleW(module);
    if (source != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  }
  wchar_t buffer[512];
  DWORD length = FormatMessageW(flags, source, code, 0, buffer, 512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\n' || buffer[length - 1] == L'\r' ||
                        buffer[length - 1] == L' ')) {
    --length;
  }
  return Narrow(std::wstring_view(buffer, length));
}

std::string ErrorText(unsigned long code, const wchar_t* module) {
  std::string text = SystemMessage(code, module);
  if (text.empty()) text = "Erro do sistema";
  return text + " (" + std::to_string(code) + ")";
}

void ThrowLastError(const std::string& what) {
  const DWORD code = GetLastError();
  throw std::runtime_error(what + ": " + ErrorText(code));
}

}  // namespace zlv::platform::win32
