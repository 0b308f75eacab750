// What the Win32 implementations of the platform layer share: text conversion between the
// program's UTF-8 and the system's UTF-16, and the system's error texts. Included only by the
// *_win32.cc files.
//
// Pure functions; any thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zlv::platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Text in the ANSI code page (what FormatMessageA, strerror and the C++ library's and asio's
// error messages give) as UTF-8.
std::string AnsiToUtf8(std::string_view ansi);

// The system's text for an error code in UTF-8, without its trailing line break; empty when
// the system has none. module as for ErrorText.
std::string SystemMessage(unsigned long code, const wchar_t* module = nullptr);

// The system's text for an error code, without its trailing line break, followed by the code:
// "Acesso negado. (5)". module names the DLL whose message table holds the code (winhttp.dll
// for WinHTTP's own codes); null for the system's.
std::string ErrorText(unsigned long code, const wchar_t* module = nullptr);

// Throws std::runtime_error("<what>: <ErrorText(GetLastError())>").
[[noreturn]] void ThrowLastError(const std::string& what);

}  // namespace zlv::platform::win32
