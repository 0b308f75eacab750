#include "platform/system_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "bizlib/utf8.h"

namespace zlv::platform {
namespace {

// The log takes UTF-8 and writes Windows-1252: a text in another encoding would reach it as
// '?' in place of every accented letter.
bool IsUtf8(const std::string& text) {
  for (size_t pos = 0; pos < text.size();) {
    if (utf8::Next(text, pos) == utf8::kInvalid) return false;
  }
  return true;
}

TEST(SystemErrorText, SocketAndSystemErrorsReachTheLogInUtf8) {
  for (const std::error_code& ec :
       {std::make_error_code(std::errc::connection_refused),
        std::make_error_code(std::errc::timed_out), std::error_code(ENOENT, std::system_category()),
        std::error_code(EACCES, std::generic_category())}) {
    const std::string text = SystemErrorText(ec);
    EXPECT_FALSE(text.empty()) << ec.value();
    EXPECT_TRUE(IsUtf8(text)) << text;
  }
  EXPECT_FALSE(IsUtf8("n\xE3o"));  // the ANSI (Windows-1252) form the log must not get
}

}  // namespace
}  // namespace zlv::platform
