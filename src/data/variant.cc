#include "data/variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "data/data_packet.h"

namespace zlv {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

[[noreturn]] void NotA(std::string_view what, std::string_view text) {
  throw std::invalid_argument("'" + std::string(text) + "' is not " + std::string(what));
}

int64_t TextToInteger(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (s.size() > 1 && s[0] == '+' && s[1] >= '0' && s[1] <= '9') s.remove_prefix(1);
  int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) NotA("an integer", text);
  return v;
}

// Digits with an optional sign, one decimal separator ('.' or ',') and an exponent; nothing
// else, so "nan", "inf" and hexadecimal never pass as numbers.
double TextToFloat(std::string_view text) {
  std::string s(TrimBlanks(text));
  size_t i = 0, digits = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t start = s[0] == '+' ? 1 : 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
  if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
    s[i] = '.';
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
  }
  if (digits > 0 && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t exp_digits = 0;
    for (; j < s.size() && s[j] >= '0' && s[j] <= '9'; ++j) ++exp_digits;
    if (exp_digits > 0) i = j;
  }
  if (digits == 0 || i != s.size()) NotA("a number", text);
  double v = 0;
  auto [end, ec] = std::from_chars(s.data() + start, s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) NotA("a number", text);
  return v;
}

int64_t FloatToInteger(double v) {
  // 2^63 as a double; anything at or beyond it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(v > -kLimit - 1 && v < kLimit)) {
    throw std::invalid_argument("number out of integer range: " + std::to_string(v));
  }
  return static_cast<int64_t>(v);
}

}  // namespace

Variant::Variant(std::string text) : value_(std::move(text)) {}
Variant::Variant(const char* text) : value_(std::string(text ? text : "")) {}
Variant::Variant(std::string_view text) : value_(std::string(text)) {}
Variant::Variant(int value) : value_(static_cast<int64_t>(value)) {}
Variant::Variant(int64_t value) : value_(value) {}
Variant::Variant(double value) : value_(value) {}
Variant::Variant(DateTime value) : value_(value) {}
Variant::Variant(bool value) : value_(value) {}
Variant::Variant(std::vector<Variant> items)
    : value_(std::make_shared<const std::vector<Variant>>(std::move(items))) {}
Variant::Variant(DataPacket packet)
    : value_(std::make_shared<const DataPacket>(std::move(packet))) {}

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

std::string Variant::AsText() const {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return "";
    case Type::Text:
      return std::get<std::string>(value_);
    case Type::Integer:
      return std::to_string(std::get<int64_t>(value_));
    case Type::Float: {
      char buf[32];
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::get<double>(value_));
      return std::string(buf, ec == std::errc() ? end : buf);
    }
    case Type::DateTime:
      return std::get<DateTime>(value_).ToIso();
    case Type::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Type::Array:
      throw std::invalid_argument("an array cannot be read as text");
    case Type::Packet:
      throw std::invalid_argument("a data packet cannot be read as text");
  }
  return "";
}

std::string_view Variant::TextView() const {
  if (!IsText()) throw std::invalid_argument("value is not a text");
  return std::get<std::string>(value_);
}

int64_t Variant::AsInteger() const {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return 0;
    case Type::Text:
      return TextToInteger(std::get<std::string>(value_));
    case Type::Integer:
      return std::get<int64_t>(value_);
    case Type::Float:
      return FloatToInteger(std::get<double>(value_));
    case Type::DateTime:
      return FloatToInteger(std::get<DateTime>(value_).days());
    case Type::Boolean:
      return std::get<bool>(value_) ? 1 : 0;
    default:
      throw std::invalid_argument("an array or data packet cannot be read as an integer");
  }
}

double Variant::AsFloat() const {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return 0;
    case Type::Text:
      return TextToFloat(std::get<std::string>(value_));
    case Type::Integer:
      return static_cast<double>(std::get<int64_t>(value_));
    case Type::Float:
      return std::get<double>(value_);
    case Type::DateTime:
      return std::get<DateTime>(value_).days();
    case Type::Boolean:
      return std::get<bool>(value_) ? 1 : 0;
    default:
      throw std::invalid_argument("an array or data packet cannot be read as a number");
  }
}

DateTime Variant::AsDateTime() const {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return DateTime();
    case Type::Text: {
      const std::string& text = std::get<std::string>(value_);
      if (auto dt = DateTime::ParseIso(TrimBlanks(text))) return *dt;
      NotA("a date-time", text);
    }
    case Type::Integer:
      return DateTime(static_cast<double>(std::get<int64_t>(value_)));
    case Type::Float:
      return DateTime(std::get<double>(value_));
    case Type::DateTime:
      return std::get<DateTime>(value_);
    default:
      throw std::invalid_argument("a boolean, array or data packet cannot be read as a date-time");
  }
}

bool Variant::AsBoolean() const {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return false;
    case Type::Text: {
      std::string_view s = TrimBlanks(std::get<std::string>(value_));
      auto is = [s](std::string_view word) {
        if (s.size() != word.size()) return false;
        for (size_t i = 0; i < s.size(); ++i) {
          if ((s[i] | 0x20) != word[i]) return false;
        }
        return true;
      };
      return is("s") || is("t") || is("true") || s == "1";
    }
    case Type::Integer:
      return std::get<int64_t>(value_) != 0;
    case Type::Float:
      return std::get<double>(value_) != 0;
    case Type::DateTime:
      return !std::get<DateTime>(value_).IsZero();
    case Type::Boolean:
      return std::get<bool>(value_);
    default:
      throw std::invalid_argument("an array or data packet cannot be read as a boolean");
  }
}

const std::vector<Variant>& Variant::AsArray() const {
  if (!IsArray()) throw std::invalid_argument("value is not an array");
  return *std::get<std::shared_ptr<const std::vector<Variant>>>(value_);
}

const DataPacket& Variant::AsPacket() const {
  if (!IsPacket()) throw std::invalid_argument("value is not a data packet");
  return *std::get<std::shared_ptr<const DataPacket>>(value_);
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.value_.index() != b.value_.index()) return false;
  if (a.IsArray()) return a.AsArray() == b.AsArray();
  if (a.IsPacket()) return a.AsPacket() == b.AsPacket();
  return a.value_ == b.value_;
}

}  // namespace zlv
