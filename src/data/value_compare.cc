#include "data/value_compare.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "data/text_fold.h"

namespace zlv {
namespace {

// A number read without throwing: filters compare every row, and a text that is not a number
// is an ordinary non-match there, not an error.
struct Number {
  bool is_int = false;
  int64_t i = 0;
  double d = 0;
};

std::optional<Number> TextNumber(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  const char c = s.front();
  // from_chars would also take "inf" and "nan"; numbers start with a digit, sign or point.
  if (!(c == '-' || c == '.' || (c >= '0' && c <= '9'))) return std::nullopt;
  const char* end = s.data() + s.size();
  Number n;
  if (auto [p, ec] = std::from_chars(s.data(), end, n.i); ec == std::errc() && p == end) {
    n.is_int = true;
    n.d = static_cast<double>(n.i);
    return n;
  }
  std::string text(s);
  for (char& ch : text) {
    if (ch == ',') ch = '.';
  }
  const char* tend = text.data() + text.size();
  if (auto [p, ec] = std::from_chars(text.data(), tend, n.d);
      ec != std::errc() || p != tend || !std::isfinite(n.d)) {
    return std::nullopt;
  }
  return n;
}

std::optional<Number> NumberOf(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Integer:
      return Number{true, v.AsInteger(), v.AsFloat()};
    case Variant::Type::Float:
      return Number{false, 0, v.AsFloat()};
    case Variant::Type::Text:
      return TextNumber(v.TextView());
    default:
      return std::nullopt;
  }
}

// NaN sorts before every number: std::sort needs a strict weak order, which plain double
// comparison is not once a NaN is among the keys.
int CompareDoubles(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(b) - std::isnan(a);
  return a < b ? -1 : a > b ? 1 : 0;
}

int CompareNumbers(const Number& a, const Number& b) {
  if (a.is_int && b.is_int) return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
  return CompareDoubles(a.d, b.d);
}

// Milliseconds, the precision date-times are written and read with.
std::optional<int64_t> DateMs(const Variant& v) {
  double days;
  if (v.type() == Variant::Type::DateTime) {
    days = v.AsDateTime().days();
  } else if (v.IsText()) {
    auto dt = DateTime::ParseIso(v.TextView());
    if (!dt) return std::nullopt;
    days = dt->days();
  } else if (auto n = NumberOf(v)) {
    days = n->d;
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(days) || std::fabs(days) > 1e8) return std::nullopt;
  return DaysToMilliseconds(days);
}

std::optional<bool> FlagOf(const Variant& v) {
  if (v.type() == Variant::Type::Boolean) return v.AsBoolean();
  if (v.IsText()) {
    const std::string word = LowerAscii(v.TextView());
    if (word == "s" || word == "t" || word == "true" || word == "1") return true;
    if (word == "n" || word == "f" || word == "false" || word == "0") return false;
    return std::nullopt;
  }
  if (auto n = NumberOf(v)) return n->d != 0;
  return std::nullopt;
}

int Rank(Variant::Type t) {
  switch (t) {
    case Variant::Type::Empty:
    case Variant::Type::Null:
      return 0;
    case Variant::Type::Boolean:
      return 1;
    case Variant::Type::Integer:
    case Variant::Type::Float:
      return 2;
    case Variant::Type::DateTime:
      return 3;
    case Variant::Type::Text:
      return 4;
    default:
      return 5;
  }
}

}  // namespace

bool ValuesMatch(const Variant& cell, const Variant& value) {
  if (value.IsEmptyOrNull() || cell.IsEmptyOrNull()) {
    return value.IsEmptyOrNull() && cell.IsEmptyOrNull();
  }
  using T = Variant::Type;
  if (cell.IsText() && value.IsText()) return cell.TextView() == value.TextView();
  if (cell.type() == T::DateTime || value.type() == T::DateTime) {
    auto a = DateMs(cell), b = DateMs(value);
    return a && b && *a == *b;
  }
  if (cell.type() == T::Boolean || value.type() == T::Boolean) {
    auto a = FlagOf(cell), b = FlagOf(value);
    return a && b && *a == *b;
  }
  auto a = NumberOf(cell), b = NumberOf(value);
  return a && b && CompareNumbers(*a, *b) == 0;
}

int CompareCells(const Variant& a, const Variant& b, bool case_insensitive) {
  const int ra = Rank(a.type()), rb = Rank(b.type());
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 1:
      return static_cast<int>(a.AsBoolean()) - static_cast<int>(b.AsBoolean());
    case 2:
      return CompareNumbers(*NumberOf(a), *NumberOf(b));
    case 3:
      return CompareDoubles(a.AsDateTime().days(), b.AsDateTime().days());
    case 4: {
      const std::string_view x = a.TextView(), y = b.TextView();
      if (case_insensitive) return CompareFolded(x, y);
      const int c = x.compare(y);
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    default:
      return 0;
  }
}

}  // namespace zlv
