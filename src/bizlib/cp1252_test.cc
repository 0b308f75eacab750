#include "bizlib/cp1252.h"

#include <gtest/gtest.h>

#include "bizlib/text.h"

namespace zlv {
namespace {

TEST(Cp1252Test, PortugueseLettersAreOneByteEach) {
  EXPECT_EQ(Utf8ToCp1252("Sincronização"), "Sincroniza\xE7\xE3o");
  EXPECT_EQ(Utf8ToCp1252("ÁÉÍÓÚÂÊÔÃÕÇáéíóúâêôãõç"),
            "\xC1\xC9\xCD\xD3\xDA\xC2\xCA\xD4\xC3\xD5\xC7\xE1\xE9\xED\xF3\xFA\xE2\xEA\xF4\xE3\xF5"
            "\xE7");
}

TEST(Cp1252Test, TheHighControlRangeHoldsWindowsOwnSigns) {
  EXPECT_EQ(Utf8ToCp1252("€ – — “x” ‘y’ … • ™ Š Ÿ"),
            "\x80 \x96 \x97 \x93x\x94 \x91y\x92 \x85 \x95 \x99 \x8A \x9F");
  EXPECT_EQ(Cp1252ToUtf8("\x80\x85\x99"), "€…™");
}

TEST(Cp1252Test, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Cp1252Test, UnmappableAndBrokenInputBecomeOneQuestionMarkPerColumn) {
  EXPECT_EQ(Utf8ToCp1252("日本"), "??");
  EXPECT_EQ(Utf8ToCp1252("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("\x80"), "?");            // stray continuation byte
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");          // truncated at the end
  EXPECT_EQ(Utf8ToCp1252("\xC3(x"), "?(x");        // lead byte without continuation
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");       // overlong '/'
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");  // surrogate
  EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");        // U+0080 has no Windows-1252 byte
  // The text utilities count the same columns the converter writes.
  for (const char* text : {"日本", "a\xC3", "\xC3(x", "\xED\xA0\x80", "ção"}) {
    EXPECT_EQ(TextLength(text), static_cast<int>(Utf8ToCp1252(text).size())) << text;
  }
}

}  // namespace
}  // namespace zlv
