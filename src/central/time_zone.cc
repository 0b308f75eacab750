#include "central/time_zone.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zlv {
namespace {

constexpr int64_t kSecondsPerDayInt = 86'400;
constexpr double kUnixEpochDay = 25'569;  // 1970-01-01 as a DateTime

// The year a day since 1970-01-01 falls in.
int64_t YearOfDay(int64_t z) { return CivilFromDays(z).y; }

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::filesystem::path ZoneFolder() {
  const char* folder = std::getenv("TZDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/usr/share/zoneinfo";
}

// ---- The trailing rule text, as "<-03>3" or "EST5EDT,M3.2.0,M11.1.0/3" ----

class RuleReader {
 public:
  explicit RuleReader(std::string_view text) : text_(text) {}

  std::optional<TimeZone::Rule> Read() {
    TimeZone::Rule rule;
    int std_west = 0;
    if (!Abbreviation() || !Time(std_west, 24)) return std::nullopt;
    rule.std_offset = -std_west;
    if (AtEnd()) return rule;
    if (!Abbreviation()) return std::nullopt;
    rule.has_dst = true;
    rule.dst_offset = rule.std_offset + 3600;
    if (!AtEnd() && Peek() != ',') {
      int dst_west = 0;
      if (!Time(dst_west, 24)) return std::nullopt;
      rule.dst_offset = -dst_west;
    }
    // A DST zone without dates leaves the dates to the reader's local convention; no zone of
    // the database is written so, and guessing would be worse than the last transition.
    if (!Eat(',') || !Day(rule.start) || !Eat(',') || !Day(rule.end) || !AtEnd()) {
      return std::nullopt;
    }
    return rule;
  }

 private:
  bool AtEnd() const { return pos_ == text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }

  // "EST" (three letters or more) or "<-03>" (quoted, letters, digits and signs).
  bool Abbreviation() {
    const size_t begin = pos_;
    if (Eat('<')) {
      while (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '+' || Peek() == '-') {
        ++pos_;
      }
      return pos_ - begin >= 4 && Eat('>');
    }
    while (std::isalpha(static_cast<unsigned char>(Peek()))) ++pos_;
    return pos_ - begin >= 3;
  }

  bool Number(int& out, int max) {
    if (!std::isdigit(static_cast<unsigned char>(Peek()))) return false;
    int v = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      v = v * 10 + (text_[pos_++] - '0');
      if (v > max) return false;
    }
    out = v;
    return true;
  }

  // [+-]hh[:mm[:ss]] in seconds. Offsets stay within 24 hours; the change times of a rule may
  // run to 167 hours either way (a change "on the day after" at 25:00, say).
  bool Time(int& seconds, int max_hours) {
    const bool negative = Eat('-');
    if (!negative) Eat('+');
    int h = 0, m = 0, s = 0;
    if (!Number(h, max_hours)) return false;
    if (Eat(':') && (!Number(m, 59) || (Eat(':') && !Number(s, 59)))) return false;
    seconds = (h * 60 + m) * 60 + s;
    if (negative) seconds = -seconds;
    return true;
  }

  bool Day(TimeZone::RuleDay& day) {
    using Kind = TimeZone::RuleDay::Kind;
    if (Eat('J')) {
      day.kind = Kind::kJulian;
      if (!Number(day.day, 365) || day.day < 1) return false;
    } else if (Eat('M')) {
      day.kind = Kind::kMonthWeekDay;
      if (!Number(day.month, 12) || day.month < 1 || !Eat('.') || !Number(day.week, 5) ||
          day.week < 1 || !Eat('.') || !Number(day.weekday, 6)) {
        return false;
      }
    } else {
      day.kind = Kind::kZeroBased;
      if (!Number(day.day, 365)) return false;
    }
    day.time = 7200;
    return !Eat('/') || Time(day.time, 167);
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// The local instant (seconds since 1970 on the local clock) at which the rule's day and time
// fall in that year.
int64_t LocalChangeInYear(const TimeZone::RuleDay& rule, int64_t year) {
  using Kind = TimeZone::RuleDay::Kind;
  const int64_t jan1 = DaysFromCivil(year, 1, 1);
  int64_t day = 0;
  switch (rule.kind) {
    case Kind::kJulian:
      day = jan1 + rule.day - 1 + (IsLeap(year) && rule.day >= 60 ? 1 : 0);
      break;
    case Kind::kZeroBased:
      day = jan1 + rule.day;
      break;
    case Kind::kMonthWeekDay: {
      const int64_t first = DaysFromCivil(year, static_cast<unsigned>(rule.month), 1);
      const int64_t next = rule.month == 12
                               ? DaysFromCivil(year + 1, 1, 1)
                               : DaysFromCivil(year, static_cast<unsigned>(rule.month) + 1, 1);
      const int64_t first_weekday = (first % 7 + 11) % 7;  // 1970-01-01 was a Thursday (4)
      day = first + (rule.weekday - first_weekday + 7) % 7 + 7 * (rule.week - 1);
      while (day >= next) day -= 7;  // week 5: the last such weekday of the month
      break;
    }
  }
  return day * kSecondsPerDayInt + rule.time;
}

// ---- The compiled zone file ----

class ByteReader {
 public:
  ByteReader(const std::string& bytes, size_t pos) : bytes_(bytes), pos_(pos) {}

  size_t pos() const { return pos_; }
  bool Has(size_t count) const { return count <= bytes_.size() - pos_; }
  void Skip(size_t count) { pos_ += count; }
  int64_t Signed(size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(bytes_[pos_++]);
    if (width < 8 && (v >> (width * 8 - 1)) != 0) v |= ~uint64_t{0} << (width * 8);
    return static_cast<int64_t>(v);
  }
  uint32_t Count() { return static_cast<uint32_t>(Signed(4)); }
  uint8_t Byte() { return static_cast<unsigned char>(bytes_[pos_++]); }

 private:
  const std::string& bytes_;
  size_t pos_;
};

struct Header {
  char version;
  uint32_t isut, isstd, leap, time, type, chars;
};

std::optional<Header> ReadHeader(ByteReader& in) {
  if (!in.Has(44)) return std::nullopt;
  Header h{};
  const int64_t magic = in.Signed(4);
  if (magic != 0x545a6966) return std::nullopt;  // "TZif"
  h.version = static_cast<char>(in.Byte());
  in.Skip(15);
  h.isut = in.Count();
  h.isstd = in.Count();
  h.leap = in.Count();
  h.time = in.Count();
  h.type = in.Count();
  h.chars = in.Count();
  if (h.type == 0 || h.type > 256 || h.time > 1'000'000 || h.leap > 100'000 || h.chars > 65'536 ||
      (h.isut != 0 && h.isut != h.type) || (h.isstd != 0 && h.isstd != h.type)) {
    return std::nullopt;
  }
  return h;
}

uint64_t BlockSize(const Header& h, size_t time_width) {
  return uint64_t{h.time} * time_width + h.time + uint64_t{h.type} * 6 + h.chars +
         uint64_t{h.leap} * (time_width + 4) + h.isstd + h.isut;
}

}  // namespace

bool KnownTimeZone(const std::string& name) {
  // A name is letters, digits and "_+-" in "/"-separated parts: nothing that climbs out of the
  // database's folder.
  if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return false;
  for (const unsigned char c : name) {
    if (!std::isalnum(c) && c != '/' && c != '_' && c != '+' && c != '-') return false;
  }
  std::error_code ec;
  return std::filesystem::is_regular_file(ZoneFolder() / name, ec);
}

DateTime UnixSecondsToDateTime(int64_t seconds) {
  return DateTime(kUnixEpochDay + static_cast<double>(seconds) / kSecondsPerDay);
}

int64_t DateTimeToUnixSeconds(DateTime value) {
  return std::llround((value.days() - kUnixEpochDay) * kSecondsPerDay);
}

std::optional<int64_t> ParseRfc3339(std::string_view text) {
  // The date and time as DateTime reads them, then the offset; DateTime refuses 24:00, a 60th
  // second and impossible dates.
  constexpr size_t kDateTimeLength = 19;  // "YYYY-MM-DDTHH:MM:SS"
  if (text.size() < kDateTimeLength + 1 || (text[10] != 'T' && text[10] != 't')) {
    return std::nullopt;
  }
  size_t end = kDateTimeLength;
  if (text[end] == '.') {
    ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == kDateTimeLength + 1) return std::nullopt;
  }
  std::string clock(text.substr(0, kDateTimeLength));
  clock[10] = 'T';
  const std::optional<DateTime> local = DateTime::ParseIso(clock);
  if (!local) return std::nullopt;

  const std::string_view zone = text.substr(end);
  int offset = 0;
  if (zone != "Z" && zone != "z") {
    const auto digit = [&](size_t i) { return zone[i] >= '0' && zone[i] <= '9'; };
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || !digit(1) || !digit(2) ||
        zone[3] != ':' || !digit(4) || !digit(5)) {
      return std::nullopt;
    }
    const int hours = (zone[1] - '0') * 10 + (zone[2] - '0');
    const int minutes = (zone[4] - '0') * 10 + (zone[5] - '0');
    if (hours > 23 || minutes > 59) return std::nullopt;
    offset = (hours * 60 + minutes) * 60 * (zone[0] == '-' ? -1 : 1);
  }
  return DateTimeToUnixSeconds(*local) - offset;
}

TimeZone::TimeZone(const std::string& name) : name_(name) {
  const std::runtime_error unknown("unknown time zone \"" + name + "\"");
  if (!KnownTimeZone(name)) throw unknown;
  std::ifstream file(ZoneFolder() / name, std::ios::binary);
  if (!file) throw unknown;
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

  ByteReader in(bytes, 0);
  std::optional<Header> header = ReadHeader(in);
  if (!header || !in.Has(BlockSize(*header, 4))) throw unknown;
  size_t time_width = 4;
  // Version 2 and later repeat the data with 64-bit instants (the first block stops at 2038),
  // followed by the rule text for the time after the last transition.
  if (header->version >= '2') {
    in.Skip(BlockSize(*header, 4));
    header = ReadHeader(in);
    if (!header || !in.Has(BlockSize(*header, 8))) throw unknown;
    time_width = 8;
  }
  const Header h = *header;

  transitions_.reserve(h.time);
  for (uint32_t i = 0; i < h.time; ++i) {
    transitions_.push_back(in.Signed(time_width));
    if (i > 0 && transitions_[i] <= transitions_[i - 1]) throw unknown;
  }
  std::vector<uint8_t> type_of(h.time);
  for (uint8_t& t : type_of) {
    t = in.Byte();
    if (t >= h.type) throw unknown;
  }
  std::vector<int> offsets(h.type);
  for (int& offset : offsets) {
    const int64_t value = in.Signed(4);
    if (value <= -25 * 3600 || value >= 26 * 3600) throw unknown;
    offset = static_cast<int>(value);
    in.Skip(2);  // DST flag and abbreviation: the hub needs the offset alone
  }
  // The abbreviations, and the leap-second records: a zone under "right/" counts leap seconds
  // in its instants, the stores' zones do not; the standard and UT flags only matter for
  // reading a rule text from a file that has none.
  in.Skip(h.chars + uint64_t{h.leap} * (time_width + 4) + h.isstd + h.isut);

  first_offset_ = offsets[0];
  transition_offset_.reserve(h.time);
  for (const uint8_t t : type_of) transition_offset_.push_back(offsets[t]);

  if (time_width == 8 && in.Has(1) && in.Byte() == '\n') {
    const size_t begin = in.pos();
    const size_t newline = bytes.find('\n', begin);
    // An empty text, or one this reader does not understand, leaves the last transition's
    // offset in force for all later time: right for the zones that no longer change clocks,
    // wrong only after a file's last listed change in a zone that still does.
    if (newline != std::string::npos && newline > begin) {
      rule_ = RuleReader(std::string_view(bytes).substr(begin, newline - begin)).Read();
    }
  }
}

int TimeZone::OffsetAt(int64_t utc_seconds) const {
  const auto after = std::upper_bound(transitions_.begin(), transitions_.end(), utc_seconds);
  if (after == transitions_.end() && rule_) return RuleOffsetAt(utc_seconds);
  if (after == transitions_.begin()) return first_offset_;
  return transition_offset_[static_cast<size_t>(after - transitions_.begin() - 1)];
}

int TimeZone::RuleOffsetAt(int64_t utc_seconds) const {
  const Rule& rule = *rule_;
  if (!rule.has_dst) return rule.std_offset;
  // The year by the standard clock; changes never fall near the turn of a year, so which
  // clock decides the year does not matter.
  const int64_t year = YearOfDay(FloorDiv(utc_seconds + rule.std_offset, kSecondsPerDayInt));
  // DST starts by the standard clock and ends by the DST clock.
  const int64_t start = LocalChangeInYear(rule.start, year) - rule.std_offset;
  const int64_t end = LocalChangeInYear(rule.end, year) - rule.dst_offset;
  // South of the equator DST spans the turn of the year: it ends before it starts.
  const bool dst = start < end ? (utc_seconds >= start && utc_seconds < end)
                               : (utc_seconds < end || utc_seconds >= start);
  return dst ? rule.dst_offset : rule.std_offset;
}

DateTime TimeZone::ToLocal(int64_t utc_seconds) const {
  return UnixSecondsToDateTime(utc_seconds + OffsetAt(utc_seconds));
}

int64_t TimeZone::ToUtc(DateTime local) const {
  const int64_t clock = DateTimeToUnixSeconds(local);
  // The offsets a day either side cover any change near that clock reading (no zone changes
  // twice in a day). The one before wins when both fit (an overlap) and when neither does (a
  // gap).
  const int before = OffsetAt(clock - kSecondsPerDayInt);
  if (OffsetAt(clock - before) == before) return clock - before;
  const int after = OffsetAt(clock + kSecondsPerDayInt);
  if (OffsetAt(clock - after) == after) return clock - after;
  return clock - before;
}

}  // namespace zlv
