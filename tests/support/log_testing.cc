#include "support/log_testing.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "bizlib/cp1252.h"

namespace zlv::test {

namespace {

// "dd/mm/yyyy hh:mm:ss - "
constexpr std::size_t kStampLength = 22;

void AppendMessages(const std::filesystem::path& file, std::vector<std::string>& messages) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    messages.push_back(
        Cp1252ToUtf8(line.size() >= kStampLength ? line.substr(kStampLength) : line));
    start = end + 2;
  }
}

}  // namespace

std::vector<std::string> LogMessages(const ActivityLog& log, DateTime day) {
  std::vector<std::string> messages;
  AppendMessages(log.FileFor(day), messages);
  return messages;
}

std::vector<std::string> AllLogMessages(const std::filesystem::path& exe_folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(exe_folder / "Dados" / "Zlv_Sinc", ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
  });
  std::vector<std::string> messages;
  for (const auto& file : files) AppendMessages(file, messages);
  return messages;
}

}  // namespace zlv::test
