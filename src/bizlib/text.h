// Text utilities of the shared business library, used to lay out tickets. Widths count
// characters (Unicode code points of the UTF-8 text), since every character is one byte, one
// column, on the printed ticket.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

bool EmptyString(std::string_view text);
std::string Centraliza(std::string_view text, int width);
std::string Replicate(std::string_view text, int count);
std::string PadL(std::string_view text, int width);
std::string TamFixo(std::string_view text, int width);
double Trunc2(double value);
template <typename T>
T iif(bool condition, T a, T b) {
  return condition ? a : b;
}
std::string RemoveAcentos(std::string_view text);

// Code points in a UTF-8 text.
int TextLength(std::string_view text);
// The first count characters of a UTF-8 text (never splits a character).
std::string TextLeft(std::string_view text, int count);
std::string UpperCase(std::string_view text);  // ASCII and Latin-1 letters
std::string Trim(std::string_view text);

}  // namespace zlv
