#include "bizlib/log_text.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(LogTextTest, ControlCharactersAreEscapedAndLongTextsCutOnWholeCharacters) {
  const struct {
    std::string text;
    std::size_t max_bytes;
    std::string logged;
  } cases[] = {
      {"falhou\r\n08/12/2026 20:00:00 - FIM -> SincronizaDLV", 2000,
       "falhou\\r\\n08/12/2026 20:00:00 - FIM -> SincronizaDLV"},
      {std::string("a\tb\x01\x1B\x7F", 6) + std::string(1, '\0'), 2000,
       "a\\tb\\x01\\x1B\\x7F\\x00"},
      {"C:\\Dados\\Zlv_Sinc ação", 2000, "C:\\Dados\\Zlv_Sinc ação"},
      // Never half a character nor half an escape; a stray Windows-1252 byte is one character.
      {"abçd", 3, "ab …[cortado: 3 bytes]"},
      {"ab\ncd", 3, "ab …[cortado: 3 bytes]"},
      {"ab\xE7\xE3o", 3, "ab\xE7 …[cortado: 2 bytes]"},
      {"abc", 3, "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(LogText(c.text, c.max_bytes), c.logged) << c.text;

  const std::string flood(16 * 1024 * 1024, 'x');
  EXPECT_EQ(LogText(flood), std::string(2000, 'x') + " …[cortado: 16775216 bytes]");
}

}  // namespace
}  // namespace zlv
