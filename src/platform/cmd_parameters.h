// The parameter texts the Windows build hands to the command processor (cmd.exe, started
// hidden) for the two things the synchroniser has the system do for it: restart the program and
// flush the DNS cache. Built here, outside the Win32 implementation, so that they are
// tested to the byte on every platform; the stores' support scripts and habits rely on them.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace zlv::platform {

// Ends the process pid (the one restarting: another program that happens to be called
// ZlvSinc.exe is no business of ours), then starts a new one in the installation folder with
// the branch and cash-register codes as its first parameter:
//   /C TASKKILL /F /PID <pid> && start /D "<folder>\" /B ZlvSinc.exe <branch>_<register>_
// (with one trailing blank). folder is the installation folder without a trailing backslash.
std::string Win32RestartParameters(std::string_view folder, std::string_view cdfilial,
                                   std::string_view cdcaixa, unsigned long pid);

// Three flushes in a row: one is not always enough for the resolver to drop a stale answer.
inline constexpr std::string_view kWin32FlushDnsParameters =
    "/C ipconfig /flushdns & ipconfig /flushdns & ipconfig /flushdns ";

}  // namespace zlv::platform
