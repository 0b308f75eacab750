// What a single cycle (ONCE) tells whoever ran it, a technician or a script: an exit status
// of its own for each way the cycle can end, and one line on standard output saying what
// happened and which file the log went to. The statuses follow the BSD sysexits numbers where
// one fits; host/main.cc's header lists them.
#pragma once

#include <filesystem>
#include <string>

#include "host/startup.h"
#include "sync/cycle.h"

namespace zlv {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadParameters = 64;        // EX_USAGE
inline constexpr int kExitDatabaseUnavailable = 66;  // EX_NOINPUT
inline constexpr int kExitNoServerAddress = 68;      // EX_NOHOST
inline constexpr int kExitServerUnreachable = 69;    // EX_UNAVAILABLE
inline constexpr int kExitCycleFailed = 70;          // EX_SOFTWARE
inline constexpr int kExitAlreadyRunning = 75;       // EX_TEMPFAIL
inline constexpr int kExitNotSetUp = 78;             // EX_CONFIG

struct OnceReport {
  int status = kExitOk;
  std::string summary;  // one line, no line end
};

// startup: what FormCreate answered; cycle and failure_lines (the log's failure lines so far)
// are read only when it started, its first tick being the cycle.
OnceReport ReportOnce(const StartupResult& startup, const CycleOutcome& cycle, int failure_lines,
                      const std::filesystem::path& log_file);
OnceReport ReportAlreadyRunning(const std::filesystem::path& log_file);

}  // namespace zlv
