#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/config_key.h"

namespace zlv {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> FileConfigKey::ReadableByOthers() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::perms perms = fs::status(file_, ec).permissions();
  if (ec || perms == fs::perms::unknown) return std::nullopt;
  if ((perms & (fs::perms::group_read | fs::perms::others_read)) == fs::perms::none) {
    return std::nullopt;
  }
  return file_.string();
}

std::optional<std::string> FileConfigKey::Read(const std::string& name) const {
  std::ifstream in(file_, std::ios::binary);
  std::optional<std::string> value;
  std::string line;
  bool first_line = true;
  while (std::getline(in, line)) {
    std::string_view text(line);
    // Editors on Windows may start the file with a UTF-8 byte-order mark.
    if (first_line && text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    first_line = false;
    text = TrimBlanks(text);
    if (text.empty() || text.front() == '#') continue;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameName(TrimBlanks(text.substr(0, equals)), name)) {
      value = std::string(TrimBlanks(text.substr(equals + 1)));
    }
  }
  return value;
}

}  // namespace zlv
