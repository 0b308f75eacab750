// The one rule for text that reaches a printer or another system from an order: a customer's
// text may not carry commands. Order texts (observations, names, addresses) come from apps and
// web pages; a line break in them would print a line of their own choosing, an ESC p opens the
// cash drawer, a GS V cuts the paper.
//
// Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

// The UTF-8 text with every control character (C0 with line breaks and tab, DEL, C1) replaced
// by one blank each, so the text keeps its width in columns; everything else, bytes that are not
// valid UTF-8 included, is kept as it is.
std::string BlankControls(std::string_view text);

// Whether BlankControls replaces this character.
bool IsControl(char32_t code_point);

}  // namespace zlv
