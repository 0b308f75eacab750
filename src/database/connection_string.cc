#include "database/connection_string.h"

#include <string_view>

namespace zlv {

namespace {
constexpr std::string_view kSqlitePrefix = "sqlite:";
}  // namespace

std::string SqliteConnectionString(const std::filesystem::path& file) {
  return std::string(kSqlitePrefix) + file.string();
}

std::optional<std::string> SqliteTarget(const std::string& connection_string) {
  if (!connection_string.starts_with(kSqlitePrefix)) return std::nullopt;
  return connection_string.substr(kSqlitePrefix.size());
}

}  // namespace zlv
