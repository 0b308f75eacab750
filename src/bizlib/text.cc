#include "bizlib/text.h"

#include <cmath>

#include "bizlib/utf8.h"

namespace zlv {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Blanks(int count) { return std::string(count > 0 ? count : 0, ' '); }

// The plain letter of an accented Latin-1 or Windows-1252 letter; 0 when there is none.
char PlainLetter(char32_t c) {
  // U+00C0 to U+00FF, one entry each; '\0' where the character is not an accented letter.
  static constexpr char kLatin1[] =
      "AAAAAA\0CEEEEIIII\0NOOOOO\0OUUUUY\0\0"
      "aaaaaa\0ceeeeiiii\0nooooo\0ouuuuy\0y";
  if (c >= 0xC0 && c <= 0xFF) return kLatin1[c - 0xC0];
  switch (c) {
    case 0x0160:
      return 'S';
    case 0x0161:
      return 's';
    case 0x017D:
      return 'Z';
    case 0x017E:
      return 'z';
    case 0x0178:
      return 'Y';
    default:
      return '\0';
  }
}

char32_t UpperLetter(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0xFF:
      return 0x0178;
    case 0x0161:
      return 0x0160;
    case 0x017E:
      return 0x017D;
    case 0x0153:
      return 0x0152;
    default:
      return c;
  }
}

// Calls f(code_point, raw_bytes) for each character of a UTF-8 text; raw_bytes is what the
// character occupies in the text, so an invalid byte can be passed on untouched.
template <typename F>
void ForEachChar(std::string_view text, F&& f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t code_point = utf8::Next(text, pos);
    f(code_point, text.substr(start, pos - start));
  }
}

}  // namespace

bool EmptyString(std::string_view text) {
  for (char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

std::string Centraliza(std::string_view text, int width) {
  const int length = TextLength(text);
  if (length >= width) return std::string(text);
  const int left = (width - length) / 2;
  return Blanks(left) + std::string(text) + Blanks(width - length - left);
}

std::string Replicate(std::string_view text, int count) {
  std::string out;
  if (count <= 0) return out;
  out.reserve(text.size() * count);
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string PadL(std::string_view text, int width) {
  return Blanks(width - TextLength(text)) + std::string(text);
}

std::string TamFixo(std::string_view text, int width) {
  const int length = TextLength(text);
  if (length >= width) return TextLeft(text, width);
  return std::string(text) + Blanks(width - length);
}

double Trunc2(double value) {
  // Binary noise just below a whole cent (12.2999999... for 12.30) is not a real fraction of a
  // cent and must not be cut away; a millionth of a cent is far beyond any real amount's digits.
  constexpr double kNoise = 1e-6;
  double cents = value * 100.0;
  const double nearest = std::round(cents);
  if (std::abs(cents - nearest) < kNoise) cents = nearest;
  return std::trunc(cents) / 100.0;
}

std::string RemoveAcentos(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachChar(text, [&out](char32_t c, std::string_view raw) {
    const char plain = c == utf8::kInvalid ? '\0' : PlainLetter(c);
    if (plain != '\0') {
      out += plain;
    } else {
      out += raw;
    }
  });
  return out;
}

int TextLength(std::string_view text) {
  int count = 0;
  ForEachChar(text, [&count](char32_t, std::string_view) { ++count; });
  return count;
}

std::string TextLeft(std::string_view text, int count) {
  std::size_t pos = 0;
  for (int i = 0; i < count && pos < text.size(); ++i) utf8::Next(text, pos);
  return std::string(text.substr(0, pos));
}

std::string UpperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachChar(text, [&out](char32_t c, std::string_view raw) {
    if (c == utf8::kInvalid) {
      out += raw;
    } else {
      utf8::Append(out, UpperLetter(c));
    }
  });
  return out;
}

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool SameText(std::string_view a, std::string_view b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

}  // namespace zlv
