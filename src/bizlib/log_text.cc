#include "bizlib/log_text.h"

#include "bizlib/utf8.h"

namespace zlv {

namespace {

// The escape of a control byte, or nothing for any other byte.
std::string_view Escape(unsigned char c, char (&buffer)[4]) {
  switch (c) {
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\t':
      return "\\t";
    default:
      break;
  }
  if (c >= 0x20 && c != 0x7F) return {};
  constexpr char kHex[] = "0123456789ABCDEF";
  buffer[0] = '\\';
  buffer[1] = 'x';
  buffer[2] = kHex[c >> 4];
  buffer[3] = kHex[c & 0x0F];
  return {buffer, 4};
}

}  // namespace

std::string LogText(std::string_view text, std::size_t max_bytes) {
  std::string out;
  out.reserve(text.size() < max_bytes ? text.size() : max_bytes);
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Whole characters only: a valid UTF-8 sequence, or one stray (e.g. Windows-1252) byte.
    std::size_t next = pos;
    utf8::Next(text, next);
    char buffer[4];
    std::string_view piece = Escape(static_cast<unsigned char>(text[pos]), buffer);
    if (piece.empty()) piece = text.substr(pos, next - pos);
    if (out.size() + piece.size() > max_bytes) break;
    out.append(piece);
    pos = next;
  }
  if (pos < text.size()) {
    out += " …[cortado: " + std::to_string(text.size() - pos) + " bytes]";
  }
  return out;
}

}  // namespace zlv
