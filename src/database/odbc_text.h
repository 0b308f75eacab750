// UTF-8 <-> UTF-16 for the ODBC driver's wide calls (SQLWCHAR is UTF-16 under unixODBC and
// Windows alike). Invalid input never throws: a bad sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace zlv
