// Small matchers over logged messages (as SyncInstallation::LogLines returns them).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace zlv::test {

using Lines = std::vector<std::string>;

inline Lines StartingWith(const Lines& lines, const std::string& prefix) {
  Lines found;
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

// The position of the first equal line at or after `from`; lines.size() when there is none.
inline size_t IndexOf(const Lines& lines, const std::string& line, size_t from = 0) {
  const auto it = std::find(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(), line);
  return static_cast<size_t>(it - lines.begin());
}

inline bool Contains(const Lines& lines, const std::string& line) {
  return IndexOf(lines, line) < lines.size();
}

inline bool ContainsPrefix(const Lines& lines, const std::string& prefix) {
  return !StartingWith(lines, prefix).empty();
}

}  // namespace zlv::test
