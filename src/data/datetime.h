// DateTime: a point in local time counted as days since 1899-12-30, the time of day being
// the fraction. The store database and the central server's packets exchange date-times
// this way, and the rules of the synchroniser are written against it: "zero" means no date,
// "later" is a plain comparison, differences are in days.
//
// Value type; thread-safe as any value.
#pragma once

#include <cmath>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zlv {

// A date-time value counts days (and fractions of a day); these are the only conversions
// between that count and seconds or milliseconds.
inline constexpr double kSecondsPerDay = 86'400.0;
inline constexpr double kMillisecondsPerDay = 86'400'000.0;
// A number of days in whole milliseconds, rounded to the nearest.
inline long long DaysToMilliseconds(double days) {
  return std::llround(days * kMillisecondsPerDay);
}

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's days_from_civil). Never
// throws, whatever the year.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Ymd {
  int64_t y;
  unsigned m, d;
};

// The inverse (Howard Hinnant's civil_from_days). Never throws, whatever the day.
constexpr Ymd CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class DateTime {
 public:
  constexpr DateTime() = default;
  constexpr explicit DateTime(double days) : days_(days) {}

  // Throws std::invalid_argument for a date or time outside the calendar.
  static DateTime FromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0, int millisecond = 0);
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DDTHH:MM:SS", each optionally with
  // ".f" to ".fff"; nothing else. Returns nullopt for any other text or an impossible date.
  static std::optional<DateTime> ParseIso(std::string_view text);

  double days() const { return days_; }
  bool IsZero() const { return days_ == 0; }
  // Rounded to the millisecond. Values outside the years 1 to 9999 are no date at all: Civil and
  // the text forms throw std::out_of_range for them.
  CivilTime Civil() const;
  DateTime DateOnly() const;

  std::string ToIso() const;         // "YYYY-MM-DD HH:MM:SS", the store database's storage form
  std::string ToPacketText() const;  // "YYYY-MM-DDTHH:MM:SS" plus ".fff" when not whole seconds

  DateTime AddSeconds(double seconds) const { return DateTime(days_ + seconds / kSecondsPerDay); }
  // Whole seconds between two instants (this - other), rounded to the nearest second.
  double SecondsSince(DateTime other) const {
    return std::round((days_ - other.days_) * kSecondsPerDay);
  }

  friend auto operator<=>(const DateTime&, const DateTime&) = default;
  friend bool operator==(const DateTime&, const DateTime&) = default;

 private:
  double days_ = 0;
};

}  // namespace zlv
