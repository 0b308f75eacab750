// UTF-8 walking shared by the code-page converter and the text utilities, so that both agree
// on what one character is: a valid code point, or else a single stray byte (which the ticket
// and log writers turn into one '?', one column).
//
// Pure functions; thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlv::utf8 {

// Marks a byte that does not start a valid UTF-8 sequence (bad lead byte, truncated or
// overlong sequence, surrogate, beyond U+10FFFF). It is one character of its own.
inline constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the character starting at text[pos] and advances pos past it (by one byte when the
// result is kInvalid). pos must be < text.size().
char32_t Next(std::string_view text, std::size_t& pos);

void Append(std::string& out, char32_t code_point);

}  // namespace zlv::utf8
