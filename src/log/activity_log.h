// ActivityLog (GravaLog): the one log writer. One line per call, appended to the day's file
//   <exe folder>/Dados/Zlv_Sinc/MMYY/LogZlvSincDDMMYY.txt
// as "<dd/mm/yyyy hh:mm:ss> - <message>" CR LF, in Windows-1252. The month folder is created
// on demand; the file is opened and closed on every call. The message is written as LogText
// (bizlib/log_text.h) gives it, bounded by kLogEntryMaxBytes: control characters escaped, so
// that one call is always exactly one line.
//
// Thread-safe: the main thread and the watchdog thread both write; calls are serialised.
// Failures (folder or file not writable) throw std::runtime_error to the caller.
#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "bizlib/clock.h"

namespace zlv {

class ActivityLog {
 public:
  ActivityLog(std::filesystem::path exe_folder, const Clock& clock);

  void GravaLog(std::string_view message);

  // The file a message written at the given moment goes to.
  std::filesystem::path FileFor(DateTime when) const;
  const std::filesystem::path& exe_folder() const { return exe_folder_; }
  // How many failure lines were written so far: lines that say "Erro" or "ERRO", as every
  // failure this program logs does. What a single cycle (ONCE) reports to whoever ran it.
  int failure_lines() const { return failure_lines_.load(); }
  // The last of them, as written (bounded as LogText bounds it); empty before the first.
  std::string last_failure_line() const;

 private:
  std::filesystem::path exe_folder_;
  const Clock& clock_;
  mutable std::mutex mutex_;
  std::atomic<int> failure_lines_{0};
  std::string last_failure_line_;
};

}  // namespace zlv
