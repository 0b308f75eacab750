#include "log/activity_log.h"

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "bizlib/cp1252.h"
#include "bizlib/log_text.h"
#include "bizlib/regional.h"
#include "platform/system_error_text.h"

namespace zlv {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path,
                       const std::string& cause) {
  throw std::runtime_error(what + " \"" + path.string() + "\": " + cause);
}

// The C library's text for errno, which the Windows C library gives in the ANSI code page.
std::string ErrnoText() { return platform::PosixErrorText(errno); }

}  // namespace

ActivityLog::ActivityLog(std::filesystem::path exe_folder, const Clock& clock)
    : exe_folder_(std::move(exe_folder)), clock_(clock) {}

std::filesystem::path ActivityLog::FileFor(DateTime when) const {
  const RegionalSettings& regional = RegionalSettings::Default();
  return exe_folder_ / "Dados" / "Zlv_Sinc" / regional.FormatDateTime("mmyy", when) /
         ("LogZlvSinc" + regional.FormatDateTime("ddmmyy", when) + ".txt");
}

void ActivityLog::GravaLog(std::string_view message) {
  std::lock_guard lock(mutex_);
  // One reading of the clock for the folder, the file and the stamp: a line written at the
  // stroke of midnight must land in the file of the day its stamp shows.
  const DateTime now = clock_.Now();
  const std::filesystem::path file = FileFor(now);
  // One call, one line: whatever a caller embedded, no line break gets through to start a line
  // that looks like ours, and no entry grows without bound.
  const std::string line = Utf8ToCp1252(RegionalSettings::Default().DateTimeStamp(now) + " - ") +
                           Utf8ToCp1252(LogText(message, kLogEntryMaxBytes)) + "\r\n";

  // The month folder is checked on every call: an operator may have deleted it meanwhile.
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) {
    Fail("Não foi possível criar a pasta do log", file.parent_path(),
         platform::SystemErrorText(ec));
  }

  // Opened and closed on every call: nothing is held back if the process is killed between
  // lines, and the file may be moved or deleted at any moment.
  errno = 0;
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) Fail("Não foi possível abrir o arquivo de log", file, ErrnoText());
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.close();
  if (!out) Fail("Não foi possível gravar o arquivo de log", file, ErrnoText());
  if (message.find("Erro") != std::string_view::npos ||
      message.find("ERRO") != std::string_view::npos) {
    last_failure_line_ = LogText(message);
    ++failure_lines_;
  }
}

std::string ActivityLog::last_failure_line() const {
  std::lock_guard lock(mutex_);
  return last_failure_line_;
}

}  // namespace zlv
