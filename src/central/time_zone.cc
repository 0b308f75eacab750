#include "central/time_zone.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace zlv {

bool KnownTimeZone(const std::string& name) {
  // A name is letters, digits and "_+-" in "/"-separated parts: nothing that climbs out of the
  // database's folder.
  if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return false;
  for (const unsigned char c : name) {
    if (!std::isalnum(c) && c != '/' && c != '_' && c != '+' && c != '-') return false;
  }
  const char* folder = std::getenv("TZDIR");
  const std::filesystem::path zone =
      std::filesystem::path(folder != nullptr && *folder != '\0' ? folder : "/usr/share/zoneinfo") /
      name;
  std::error_code ec;
  return std::filesystem::is_regular_file(zone, ec);
}

}  // namespace zlv
