#include "data/datetime.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace zlv {
namespace {

constexpr int64_t kMsPerDay = static_cast<int64_t>(kMillisecondsPerDay);

constexpr int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
// Years 1 to 9999: the range the store database and the server's packets can hold. Outside it
// a value is garbage, and turning it into a calendar date would overflow.
constexpr double kMinDays = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochDays);
constexpr double kMaxDays = static_cast<double>(DaysFromCivil(10000, 1, 1) - kEpochDays);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool ValidCivil(int year, int month, int day, int hour, int minute, int second, int ms) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
         minute <= 59 && second >= 0 && second <= 59 && ms >= 0 && ms <= 999;
}

// The value in whole milliseconds since the epoch, rounded to the nearest.
int64_t TotalMs(double days) {
  if (!(days >= kMinDays && days < kMaxDays)) {
    throw std::out_of_range("date-time value out of range: " + std::to_string(days));
  }
  return DaysToMilliseconds(days);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Reads exactly `width` digits at text[pos].
bool ReadDigits(std::string_view text, size_t pos, size_t width, int& out) {
  if (pos + width > text.size()) return false;
  int v = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  out = v;
  return true;
}

}  // namespace

DateTime DateTime::FromCivil(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
  if (!ValidCivil(year, month, day, hour, minute, second, millisecond)) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "invalid date-time %04d-%02d-%02d %02d:%02d:%02d.%03d", year,
                  month, day, hour, minute, second, millisecond);
    throw std::invalid_argument(buf);
  }
  const int64_t date =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
  const int64_t ms = ((hour * 60 + minute) * 60 + second) * 1000LL + millisecond;
  return DateTime(static_cast<double>(date) +
                  static_cast<double>(ms) / static_cast<double>(kMsPerDay));
}

std::optional<DateTime> DateTime::ParseIso(std::string_view text) {
  int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
  if (!ReadDigits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' ||
      !ReadDigits(text, 5, 2, mo) || text[7] != '-' || !ReadDigits(text, 8, 2, d)) {
    return std::nullopt;
  }
  if (text.size() > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || text.size() < 19 || !ReadDigits(text, 11, 2, h) ||
        text[13] != ':' || !ReadDigits(text, 14, 2, mi) || text[16] != ':' ||
        !ReadDigits(text, 17, 2, s)) {
      return std::nullopt;
    }
    if (text.size() > 19) {
      const size_t frac = text.size() - 20;
      if (text[19] != '.' || frac < 1 || frac > 3 || !ReadDigits(text, 20, frac, ms)) {
        return std::nullopt;
      }
      for (size_t i = frac; i < 3; ++i) ms *= 10;
    }
  }
  if (!ValidCivil(y, mo, d, h, mi, s, ms)) return std::nullopt;
  return FromCivil(y, mo, d, h, mi, s, ms);
}

CivilTime DateTime::Civil() const {
  const int64_t total = TotalMs(days_);
  const int64_t date = FloorDiv(total, kMsPerDay);
  int64_t ms = total - date * kMsPerDay;
  const Ymd ymd = CivilFromDays(date + kEpochDays);
  CivilTime c;
  c.year = static_cast<int>(ymd.y);
  c.month = static_cast<int>(ymd.m);
  c.day = static_cast<int>(ymd.d);
  c.millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  c.second = static_cast<int>(ms % 60);
  ms /= 60;
  c.minute = static_cast<int>(ms % 60);
  c.hour = static_cast<int>(ms / 60);
  return c;
}

DateTime DateTime::DateOnly() const {
  return DateTime(static_cast<double>(FloorDiv(TotalMs(days_), kMsPerDay)));
}

std::string DateTime::ToIso() const {
  const CivilTime c = Civil();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return buf;
}

std::string DateTime::ToPacketText() const {
  const CivilTime c = Civil();
  char buf[40];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day,
                        c.hour, c.minute, c.second);
  if (c.millisecond != 0) std::snprintf(buf + n, sizeof buf - n, ".%03d", c.millisecond);
  return buf;
}

}  // namespace zlv
