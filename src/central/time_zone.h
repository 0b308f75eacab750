// The stores' time zones, by their IANA names ("America/Sao_Paulo"), from the system's time
// zone database (Debian's tzdata under /usr/share/zoneinfo, or $TZDIR).
//
// Channels send an order's times as RFC 3339 instants with an offset; the store's rows hold the
// store's own civil time (DateTime, a naive local date-time). The hub turns one into the other
// through the store's zone. The toolchain has no time-zone database of its own, and TZ with
// localtime_r would change the whole process, so the hub reads the compiled zone files itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/datetime.h"

namespace zlv {

// True when the name is a zone of the system's database.
bool KnownTimeZone(const std::string& name);

// Unix seconds (since 1970-01-01 00:00) and DateTime (days since 1899-12-30) name one wall
// clock reading the same way: 1970-01-01 is day 25569. No zone is applied here.
DateTime UnixSecondsToDateTime(int64_t seconds);
// Rounded to the nearest second.
int64_t DateTimeToUnixSeconds(DateTime value);

// "YYYY-MM-DDTHH:MM:SS[.f...](Z|+HH:MM|-HH:MM)" (and "t"/"z" in lower case, as RFC 3339
// allows) to seconds since 1970-01-01 UTC. Fractions of a second are dropped: the store's
// rows keep an order's times to the second. An instant without an offset is refused
// (nullopt), as is any impossible date or time (24:00, a 60th second, a 13th month): an
// order's time must say which instant it is.
std::optional<int64_t> ParseRfc3339(std::string_view text);

// One zone of the database, loaded whole at construction (a file read: a caller converting many
// times keeps the object); immutable, so safe to share between threads. Instants are those of
// the years DateTime holds (1 to 9999).
class TimeZone {
 public:
  // Throws std::runtime_error "unknown time zone \"NAME\"" for a name that is not in the
  // database or whose file cannot be read or is not a zone file.
  explicit TimeZone(const std::string& name);

  const std::string& name() const { return name_; }

  // The offset from UT, in seconds (east positive), in force at that instant.
  int OffsetAt(int64_t utc_seconds) const;
  // The zone's civil time at that instant.
  DateTime ToLocal(int64_t utc_seconds) const;
  // The instant a civil time names, rounded to the second. A civil time the clocks skipped (a
  // gap) or showed twice (an overlap) is read with the offset in force before the change: in
  // an overlap that is the earlier of the two instants, in a gap the clock reading is taken as
  // if the change had not happened yet (02:30 in a gap from 02:00 to 03:00 is 03:30 after it).
  int64_t ToUtc(DateTime local) const;

  // The parsed trailing rule; public only so that the file's reader can fill it.
  //
  // A day of the year on which the rule changes the clocks, and the local time it does so.
  struct RuleDay {
    enum class Kind { kJulian, kZeroBased, kMonthWeekDay } kind = Kind::kMonthWeekDay;
    int day = 0;                           // Jn (1-365, February 29 never counted) or n (0-365)
    int month = 0, week = 0, weekday = 0;  // Mm.w.d: week 5 is the month's last
    int time = 7200;                       // seconds after local midnight; may pass 24h
  };
  // The rule of the zone file's trailing text ("<-03>3", "EST5EDT,M3.2.0,M11.1.0"), for
  // instants after the file's last transition.
  struct Rule {
    int std_offset = 0;  // seconds east of UT
    bool has_dst = false;
    int dst_offset = 0;
    RuleDay start, end;  // DST starts (in standard time) and ends (in DST)
  };

 private:
  int RuleOffsetAt(int64_t utc_seconds) const;

  std::string name_;
  std::vector<int64_t> transitions_;    // instants, ascending
  std::vector<int> transition_offset_;  // the offset from each transition on
  int first_offset_ = 0;                // before the first transition
  std::optional<Rule> rule_;            // none when the file has none, or one not understood
};

}  // namespace zlv
