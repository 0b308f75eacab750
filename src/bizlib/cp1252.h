// Windows-1252, the stores' ANSI code page: the log, the ticket files and the router message
// are written in it, one byte per letter. Internal text is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

// A character outside Windows-1252 becomes '?'; invalid UTF-8 bytes become '?' too.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace zlv
