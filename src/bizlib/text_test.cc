#include "bizlib/text.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(TextTest, EmptyStringSeesBlanksOnlyAsEmpty) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_TRUE(EmptyString(" \t\r\n"));
  EXPECT_FALSE(EmptyString(" ; "));
  EXPECT_FALSE(EmptyString("\xC3\xA9"));  // "é" alone is not blank
}

TEST(TextTest, WidthsCountAccentedLettersAsOneColumn) {
  EXPECT_EQ(TextLength("Atenção"), 7);
  EXPECT_EQ(PadL("ção", 5), "  ção");
  EXPECT_EQ(TamFixo("Promoção da Família", 10), "Promoção d");
  EXPECT_EQ(TamFixo("Açaí", 6), "Açaí  ");
  EXPECT_EQ(Centraliza("Pão", 7), "  Pão  ");
  EXPECT_EQ(TextLeft("ãããã", 2), "ãã");
}

TEST(TextTest, CentralizaFillsTheWholeLineOddBlankOnTheRight) {
  EXPECT_EQ(Centraliza("TOTAL", 10), "  TOTAL   ");
  EXPECT_EQ(Centraliza("AB", 4), " AB ");
  EXPECT_EQ(Centraliza("", 3), "   ");
}

TEST(TextTest, TextsAtOrPastTheWidthAreNeverCutExceptByTamFixo) {
  EXPECT_EQ(Centraliza("exactly10!", 10), "exactly10!");
  EXPECT_EQ(Centraliza("eleven wide", 10), "eleven wide");
  EXPECT_EQ(PadL("1234567,89", 10), "1234567,89");
  EXPECT_EQ(PadL("12345678,90", 10), "12345678,90");
  EXPECT_EQ(TamFixo("exactly10!", 10), "exactly10!");
  EXPECT_EQ(TamFixo("eleven wide", 10), "eleven wid");
  EXPECT_EQ(TamFixo("anything", 0), "");
  EXPECT_EQ(PadL("x", -3), "x");
}

TEST(TextTest, ReplicateRepeatsWholeTexts) {
  EXPECT_EQ(Replicate("-", 5), "-----");
  EXPECT_EQ(Replicate("ab", 3), "ababab");
  EXPECT_EQ(Replicate("-", 0), "");
  EXPECT_EQ(Replicate("-", -1), "");
}

TEST(TextTest, Trunc2CutsWithoutRoundingAndWithoutLosingACentToBinaryNoise) {
  EXPECT_DOUBLE_EQ(Trunc2(2.679), 2.67);
  EXPECT_DOUBLE_EQ(Trunc2(-2.679), -2.67);
  EXPECT_DOUBLE_EQ(Trunc2(3 * 4.1), 12.3);  // 12.299999999999999 in binary
  EXPECT_DOUBLE_EQ(Trunc2(1.15), 1.15);     // 114.99999999999999 cents
  EXPECT_DOUBLE_EQ(Trunc2(0.1 + 0.2), 0.3);
  EXPECT_DOUBLE_EQ(Trunc2(0.009), 0.0);
}

TEST(TextTest, RemoveAcentosKeepsLengthAndEverythingButTheAccents) {
  EXPECT_EQ(RemoveAcentos("Atenção! Pedido será consumido no local."),
            "Atencao! Pedido sera consumido no local.");
  EXPECT_EQ(RemoveAcentos("ÁÀÂÃÄ ÉÊ Í ÓÔÕ ÚÜ Ç Ñ áàâãä éê í óôõ úü ç ñ ÿ"),
            "AAAAA EE I OOO UU C N aaaaa ee i ooo uu c n y");
  EXPECT_EQ(RemoveAcentos("R$ 10,00 - nº 5 \x1B"
                          "E"),
            "R$ 10,00 - nº 5 \x1B"
            "E");
  EXPECT_EQ(RemoveAcentos("bad \xFF byte"), "bad \xFF byte");
}

TEST(TextTest, UpperCaseAndTrim) {
  EXPECT_EQ(UpperCase("rua são joão, 12"), "RUA SÃO JOÃO, 12");
  EXPECT_EQ(Trim("  \t x y \r\n"), "x y");
  EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace zlv
