#include "bizlib/regional.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace zlv {

namespace {

constexpr std::array<const char*, 7> kShortDayNames = {"dom", "seg", "ter", "qua",
                                                       "qui", "sex", "sáb"};
constexpr std::array<const char*, 7> kLongDayNames = {
    "domingo",      "segunda-feira", "terça-feira", "quarta-feira",
    "quinta-feira", "sexta-feira",   "sábado"};
constexpr std::array<const char*, 12> kShortMonthNames = {"jan", "fev", "mar", "abr", "mai", "jun",
                                                          "jul", "ago", "set", "out", "nov", "dez"};
constexpr std::array<const char*, 12> kLongMonthNames = {
    "janeiro", "fevereiro", "março",    "abril",   "maio",     "junho",
    "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAsciiLetter(char c) { return AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Number(int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

// 0 = Sunday. Day zero of DateTime (1899-12-30) was a Saturday.
int DayOfWeek(DateTime value) {
  const auto day = static_cast<long long>(std::floor(value.days()));
  return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

// Splits text at sep into fields made of 1 to max_digits digits each; empty when not so.
std::vector<int> NumberFields(std::string_view text, char sep, int max_digits) {
  std::vector<int> fields;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = std::min(text.find(sep, pos), text.size());
    const std::string_view field = text.substr(pos, end - pos);
    if (field.empty() || static_cast<int>(field.size()) > max_digits) return {};
    int value = 0;
    for (char c : field) {
      if (!IsDigit(c)) return {};
      value = value * 10 + (c - '0');
    }
    fields.push_back(value);
    if (end == text.size()) return fields;
    pos = end + 1;
  }
}

class Formatter {
 public:
  Formatter(const RegionalSettings& settings, DateTime value)
      : settings_(settings), value_(value), civil_(value.Civil()) {}

  // nested: inside a regional format, where the tokens that expand to regional formats are
  // plain text (a regional format that named itself would never end).
  std::string Format(std::string_view pattern, bool nested = false) const {
    std::string out;
    char last_letter = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
      const char c = pattern[i];
      if (c == '"' || c == '\'') {
        const std::size_t close = std::min(pattern.find(c, i + 1), pattern.size());
        out += pattern.substr(i + 1, close - i - 1);
        i = close + 1;
        continue;
      }
      if (!IsAsciiLetter(c)) {
        out += c;
        ++i;
        continue;
      }
      char token = AsciiLower(c);
      std::size_t count = 1;
      while (i + count < pattern.size() && AsciiLower(pattern[i + count]) == token) ++count;
      // "hh:mm": an m right after an hour is the minute, the business code's old convention.
      if (token == 'm' && last_letter == 'h') token = 'n';
      last_letter = token;
      out += Token(token, count, nested, pattern.substr(i, count));
      i += count;
    }
    return out;
  }

 private:
  std::string Token(char token, std::size_t count, bool nested, std::string_view raw) const {
    switch (token) {
      case 'd':
        if (count <= 2) return Number(civil_.day, static_cast<int>(count));
        if (count == 3) return kShortDayNames[DayOfWeek(value_)];
        if (count == 4) return kLongDayNames[DayOfWeek(value_)];
        return nested ? std::string(raw) : Format(settings_.short_date_format, true);
      case 'm':
        if (count <= 2) return Number(civil_.month, static_cast<int>(count));
        if (count == 3) return kShortMonthNames[civil_.month - 1];
        return kLongMonthNames[civil_.month - 1];
      case 'y':
        return count <= 2 ? Number(civil_.year % 100, 2) : Number(civil_.year, 4);
      case 'h':
        return Number(civil_.hour, count == 1 ? 1 : 2);
      case 'n':
        return Number(civil_.minute, count == 1 ? 1 : 2);
      case 's':
        return Number(civil_.second, count == 1 ? 1 : 2);
      case 'z':
        return Number(civil_.millisecond, count <= 2 ? 1 : 3);
      case 'c':
        if (nested) return std::string(raw);
        return settings_.DateTimeToStr(value_);
      default:
        return std::string(raw);
    }
  }

  const RegionalSettings& settings_;
  DateTime value_;
  CivilTime civil_;
};

}  // namespace

const RegionalSettings& RegionalSettings::Default() {
  static const RegionalSettings settings;
  return settings;
}

std::string RegionalSettings::FormatDateTime(const std::string& pattern, DateTime value) const {
  return Formatter(*this, value).Format(pattern);
}

std::string RegionalSettings::DateTimeToStr(DateTime value) const {
  const CivilTime civil = value.Civil();
  if (civil.hour == 0 && civil.minute == 0 && civil.second == 0 && civil.millisecond == 0) {
    return DateToStr(value);
  }
  return DateTimeStamp(value);
}

std::string RegionalSettings::DateToStr(DateTime value) const {
  return FormatDateTime(short_date_format, value);
}

std::string RegionalSettings::DateTimeStamp(DateTime value) const {
  return FormatDateTime(short_date_format + " " + long_time_format, value);
}

std::string RegionalSettings::FormatFixed(double value, int decimals, bool thousands) const {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  // A double holds 15 significant decimal digits; rounding those (half away from zero) gives
  // what a person expects: 2.675 prints 2.68 although its binary value is 2.67499999...
  constexpr int kSignificant = 15;
  constexpr int kMaxDecimals = 18;
  decimals = std::clamp(decimals, 0, kMaxDecimals);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*e", kSignificant - 1, std::abs(value));
  const std::string text = buffer;  // "d.dddddddddddddde+XX"
  const std::size_t e = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  int point = std::stoi(text.substr(e + 1)) + 1;  // integer digits
  if (point < 1) {
    digits.insert(0, 1 - point, '0');
    point = 1;
  }
  const std::size_t keep = point + decimals;
  if (digits.size() < keep) digits.append(keep - digits.size(), '0');
  const bool round_up = digits.size() > keep && digits[keep] >= '5';
  digits.resize(keep);
  if (round_up) {
    std::size_t i = keep;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(0, 1, '1');
      ++point;
    } else {
      ++digits[i - 1];
    }
  }
  std::string integer = digits.substr(0, point);
  const std::string fraction = digits.substr(point);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size() - 1));
  if (thousands) {
    for (int at = static_cast<int>(integer.size()) - 3; at > 0; at -= 3) {
      integer.insert(at, 1, thousand_separator);
    }
  }
  const bool negative = value < 0 && digits.find_first_not_of('0') != std::string::npos;
  std::string out = negative ? "-" : "";
  out += integer;
  if (decimals > 0) out += decimal_separator + fraction;
  return out;
}

std::optional<DateTime> RegionalSettings::ParseDateTime(const std::string& text) const {
  // The order of day, month and year and their separator come from the short date format.
  std::string order;
  char separator = '/';
  bool separator_seen = false;
  for (char c : short_date_format) {
    const char lower = AsciiLower(c);
    if (lower == 'd' || lower == 'm' || lower == 'y') {
      if (order.find(lower) == std::string::npos) order += lower;
    } else if (!separator_seen) {
      separator = c;
      separator_seen = true;
    }
  }
  if (order.size() != 3) return std::nullopt;

  std::string_view rest(text);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  const std::size_t blank = std::min(rest.find(' '), rest.size());
  const std::vector<int> date = NumberFields(rest.substr(0, blank), separator, 4);
  if (date.size() != 3) return std::nullopt;
  int day = 0, month = 0, year = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const int field = date[i];
    if (order[i] == 'd') day = field;
    if (order[i] == 'm') month = field;
    if (order[i] == 'y') year = field;
  }
  if (day > 31 || month > 12 || year < 100) return std::nullopt;

  std::vector<int> time = {0, 0, 0};
  if (blank < rest.size()) {
    std::string_view time_text = rest.substr(blank + 1);
    while (!time_text.empty() && time_text.front() == ' ') time_text.remove_prefix(1);
    time = NumberFields(time_text, ':', 2);
    if (time.size() == 2) time.push_back(0);
    if (time.size() != 3) return std::nullopt;
  }
  try {
    return DateTime::FromCivil(year, month, day, time[0], time[1], time[2]);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}

}  // namespace zlv
