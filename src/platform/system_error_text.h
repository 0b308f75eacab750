// SystemErrorText: the operating system's words for a failed socket or system call, in UTF-8
// as the log expects. POSIX systems give them in UTF-8 already. On Windows the texts of asio
// and of the C++ library come in the ANSI code page, whose accented letters the log would
// turn into '?': the Windows side asks the system for the text in UTF-16 instead (system and
// socket codes) or converts from the ANSI code page (any other category).
//
// PosixErrorText is the same for an errno value, the one way the program words the C library's
// failures; ThrowPosixError throws std::runtime_error("<what>: <PosixErrorText(error)>").
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <system_error>

namespace zlv::platform {

std::string SystemErrorText(const std::error_code& ec);

std::string PosixErrorText(int error);
[[noreturn]] void ThrowPosixError(const std::string& what, int error);

}  // namespace zlv::platform
