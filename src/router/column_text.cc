#include "router/column_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zlv {
namespace {

// A double carries 15 decimal digits faithfully; more would print binary noise
// (0.1 + 0.2 as 0.30000000000000004).
constexpr int kSignificantDigits = 15;
// Below this size general form switches to scientific notation.
constexpr double kSmallestFixed = 0.00001;

}  // namespace

std::string FloatToStrGeneral(double value, char decimal_separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // also -0

  // "d.dddddddddddddde+XX": the significant digits and the decimal exponent.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, std::fabs(value));
  std::string text(buffer);
  const size_t e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = value < 0 ? "-" : "";
  const bool fixed = exponent < kSignificantDigits && std::fabs(value) >= kSmallestFixed;
  if (fixed) {
    if (exponent < 0) {
      out += '0';
      out += decimal_separator;
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const size_t integer_digits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= integer_digits) {
        out += digits;
        out.append(integer_digits - digits.size(), '0');
      } else {
        out += digits.substr(0, integer_digits);
        out += decimal_separator;
        out += digits.substr(integer_digits);
      }
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += decimal_separator;
    out += digits.substr(1);
  }
  out += 'E';
  out += std::to_string(exponent);
  return out;
}

std::string ColumnText(const Variant& value, const RegionalSettings& regional) {
  switch (value.type()) {
    case Variant::Type::Float:
      return FloatToStrGeneral(value.AsFloat(), regional.decimal_separator);
    case Variant::Type::DateTime:
      return regional.DateTimeToStr(value.AsDateTime());
    default:
      return value.AsText();  // empty and NULL give ""
  }
}

}  // namespace zlv
