// Text utilities of the shared business library, used to lay out tickets. Widths count
// characters (Unicode code points of the UTF-8 text), since every character is one byte, one
// column, on the printed ticket; a stray byte that is not valid UTF-8 counts as one character
// (the ticket writer prints it as one '?').
//
// Texts longer than the width: a ticket line that is too long is printed whole rather than
// lose a name or an amount, so Centraliza and PadL return such a text unchanged (never cut);
// TamFixo is the one that cuts, because its callers need exactly width columns.
//
// Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

// True for an empty text or one made only of blanks (any character up to ' ', which covers
// tabs and line breaks as well).
bool EmptyString(std::string_view text);
// The text centred in exactly width columns: blanks on the left, the odd blank on the right.
// A text of width or more characters is returned unchanged.
std::string Centraliza(std::string_view text, int width);
// The text repeated count times; empty for a count of zero or less.
std::string Replicate(std::string_view text, int count);
// The text right-aligned: blanks on the left up to width. A text of width or more characters
// is returned unchanged.
std::string PadL(std::string_view text, int width);
// The text made exactly width characters long: padded with blanks on the right, or cut to its
// first width characters.
std::string TamFixo(std::string_view text, int width);
// The value cut toward zero to two decimals (2.679 -> 2.67, -2.679 -> -2.67). A value whose
// binary form falls a hair below its decimal one (3 x 4.1 = 12.2999...) still gives 12.30.
double Trunc2(double value);
template <typename T>
T iif(bool condition, T a, T b) {
  return condition ? a : b;
}
// Accented Latin letters replaced by their plain letters ("Atenção" -> "Atencao"); every other
// character is kept.
std::string RemoveAcentos(std::string_view text);

// Code points in a UTF-8 text.
int TextLength(std::string_view text);
// The first count characters of a UTF-8 text (never splits a character).
std::string TextLeft(std::string_view text, int count);
std::string UpperCase(std::string_view text);  // ASCII and Latin-1 letters
// Without the leading and trailing characters up to ' ' (blanks, tabs, line breaks).
std::string Trim(std::string_view text);
// Equal when ASCII letters are compared without regard to case (keys, codes, names of kinds).
bool SameText(std::string_view a, std::string_view b);

}  // namespace zlv
