// Case folding for the names and texts the data layer compares without regard to case: field
// names (ASCII) and index keys (ASCII plus the accented Latin letters of UTF-8, which the
// stores' Portuguese texts are full of). Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlv {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// Compares two UTF-8 texts byte by byte after folding ASCII letters and the Latin-1 capitals
// U+00C0..U+00DE (but U+00D7, the multiplication sign) to lower case. <0, 0, >0.
int CompareFolded(std::string_view a, std::string_view b);

}  // namespace zlv
