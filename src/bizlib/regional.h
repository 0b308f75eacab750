// Regional settings: how dates, times and numbers are written for people (the log, tickets,
// the router message). One object; the stores run with Brazilian settings, the default here.
//
// Format patterns follow the business code's conventions, letters in any case: d, dd, m, mm,
// yy, yyyy, h, hh, n, nn, s, ss, z, zzz; ddd/dddd and mmm/mmmm give Portuguese day and month
// names, ddddd the short date, c the date and time as DateTimeToStr. An m or mm right after an
// hour ("hh:mm", "h mm") means minutes. Text in single or double quotes, and anything else, is
// copied.
//
// Read-only after set-up; any thread may format.
#pragma once

#include <optional>
#include <string>

#include "data/datetime.h"

namespace zlv {

struct RegionalSettings {
  std::string short_date_format = "dd/mm/yyyy";
  std::string long_time_format = "hh:mm:ss";
  char decimal_separator = ',';
  char thousand_separator = '.';

  static const RegionalSettings& Default();

  std::string FormatDateTime(const std::string& pattern, DateTime value) const;
  // Short date, a blank, long time; the date alone when the time is midnight.
  std::string DateTimeToStr(DateTime value) const;
  std::string DateToStr(DateTime value) const;
  // Short date, a blank and long time, always both (the log's stamp).
  std::string DateTimeStamp(DateTime value) const;
  // The value with a fixed number of decimals and the decimal separator, no thousands
  // separator ("12,50"); thousands = true adds them ("1.234,50").
  std::string FormatFixed(double value, int decimals, bool thousands = false) const;
  // Reads a regional date ("dd/mm/yyyy" with an optional " hh:mm:ss"); nullopt when not one.
  std::optional<DateTime> ParseDateTime(const std::string& text) const;
};

}  // namespace zlv
