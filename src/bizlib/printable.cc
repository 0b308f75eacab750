#include "bizlib/printable.h"

#include "bizlib/utf8.h"

namespace zlv {

bool IsControl(char32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

std::string BlankControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t code_point = utf8::Next(text, pos);
    if (code_point != utf8::kInvalid && IsControl(code_point)) {
      out += ' ';
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

}  // namespace zlv
