#include "data/text_fold.h"

namespace zlv {
namespace {

// Folds the byte at s[i]; in UTF-8 a Latin-1 capital is 0xC3 followed by 0x80..0x9E, and its
// small letter is 0xC3 followed by the same byte plus 0x20.
unsigned char FoldedByte(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (i > 0 && static_cast<unsigned char>(s[i - 1]) == 0xC3 && c >= 0x80 && c <= 0x9E &&
      c != 0x97) {
    return static_cast<unsigned char>(c + 0x20);
  }
  return c;
}

}  // namespace

int CompareFolded(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldedByte(a, i), y = FoldedByte(b, i);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace zlv
