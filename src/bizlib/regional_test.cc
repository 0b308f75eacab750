#include "bizlib/regional.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

const RegionalSettings& br = RegionalSettings::Default();
DateTime SundayEvening() { return DateTime::FromCivil(2026, 12, 6, 21, 5, 9, 42); }

TEST(RegionalTest, MmRightAfterAnHourIsTheMinute) {
  EXPECT_EQ(br.FormatDateTime("dd/mm/yyyy hh:mm:ss", SundayEvening()), "06/12/2026 21:05:09");
  EXPECT_EQ(br.FormatDateTime("dd/mm/yyyy hh:nn:ss", SundayEvening()), "06/12/2026 21:05:09");
  EXPECT_EQ(br.FormatDateTime("hh:mm dd/mm", SundayEvening()), "21:05 06/12");
  EXPECT_EQ(br.FormatDateTime("mm", SundayEvening()), "12");
  EXPECT_EQ(br.FormatDateTime("hh mm", SundayEvening()), "21 05");
}

TEST(RegionalTest, TokensIgnoreCaseAndCountDigits) {
  EXPECT_EQ(br.FormatDateTime("DDMMYY", SundayEvening()), "061226");
  EXPECT_EQ(br.FormatDateTime("mmyy", SundayEvening()), "1226");
  EXPECT_EQ(br.FormatDateTime("d/m/yyyy h:n:s", SundayEvening()), "6/12/2026 21:5:9");
  EXPECT_EQ(br.FormatDateTime("hhnnss.zzz", SundayEvening()), "210509.042");
  EXPECT_EQ(br.FormatDateTime("yyyymmdd", DateTime::FromCivil(2005, 3, 4)), "20050304");
}

TEST(RegionalTest, QuotedAndUnknownTextIsCopied) {
  EXPECT_EQ(br.FormatDateTime("'dia' dd \"as\" hh'h'", SundayEvening()), "dia 06 as 21h");
  EXPECT_EQ(br.FormatDateTime("[dd] - #", SundayEvening()), "[06] - #");
}

TEST(RegionalTest, NamesAndRegionalShortcutsArePortuguese) {
  EXPECT_EQ(br.FormatDateTime("ddd dddd mmm mmmm", SundayEvening()), "dom domingo dez dezembro");
  EXPECT_EQ(br.FormatDateTime("ddddd", SundayEvening()), "06/12/2026");
  EXPECT_EQ(br.FormatDateTime("c", SundayEvening()), "06/12/2026 21:05:09");
}

TEST(RegionalTest, DateTimeToStrDropsAMidnightTimeButTheStampNever) {
  const DateTime midnight = DateTime::FromCivil(2026, 6, 1);
  EXPECT_EQ(br.DateTimeToStr(SundayEvening()), "06/12/2026 21:05:09");
  EXPECT_EQ(br.DateTimeToStr(midnight), "01/06/2026");
  EXPECT_EQ(br.DateTimeStamp(midnight), "01/06/2026 00:00:00");
  EXPECT_EQ(br.DateToStr(SundayEvening()), "06/12/2026");
}

TEST(RegionalTest, FormatFixedRoundsHalfAwayFromZeroOnTheDecimalValue) {
  EXPECT_EQ(br.FormatFixed(12.5, 2), "12,50");
  EXPECT_EQ(br.FormatFixed(2.675, 2), "2,68");  // 2.67499999... in binary
  EXPECT_EQ(br.FormatFixed(1.005, 2), "1,01");
  EXPECT_EQ(br.FormatFixed(-2.675, 2), "-2,68");
  EXPECT_EQ(br.FormatFixed(0.999, 2), "1,00");
  EXPECT_EQ(br.FormatFixed(99.995, 2), "100,00");
  EXPECT_EQ(br.FormatFixed(0.0, 2), "0,00");
  EXPECT_EQ(br.FormatFixed(-0.001, 2), "0,00");
  EXPECT_EQ(br.FormatFixed(0.0004, 3), "0,000");
  EXPECT_EQ(br.FormatFixed(1.5, 3), "1,500");
  EXPECT_EQ(br.FormatFixed(2.5, 0), "3");
  EXPECT_EQ(br.FormatFixed(1234567.891, 2), "1234567,89");
  EXPECT_EQ(br.FormatFixed(1234567.891, 2, true), "1.234.567,89");
  EXPECT_EQ(br.FormatFixed(-123456.0, 2, true), "-123.456,00");
  EXPECT_EQ(br.FormatFixed(999.0, 2, true), "999,00");
}

TEST(RegionalTest, ParseDateTimeReadsRegionalDatesAndRejectsTheRest) {
  EXPECT_EQ(br.ParseDateTime("06/12/2026 21:05:09"), DateTime::FromCivil(2026, 12, 6, 21, 5, 9));
  EXPECT_EQ(br.ParseDateTime("6/1/2026"), DateTime::FromCivil(2026, 1, 6));
  EXPECT_EQ(br.ParseDateTime(" 06/12/2026 21:05 "), DateTime::FromCivil(2026, 12, 6, 21, 5));
  EXPECT_EQ(br.ParseDateTime("31/02/2026"), std::nullopt);
  EXPECT_EQ(br.ParseDateTime("06/12/26"), std::nullopt);
  EXPECT_EQ(br.ParseDateTime("2026-12-06"), std::nullopt);
  EXPECT_EQ(br.ParseDateTime("06/12/2026 25:00:00"), std::nullopt);
  EXPECT_EQ(br.ParseDateTime("06/12/2026 21:05:09 x"), std::nullopt);
  EXPECT_EQ(br.ParseDateTime(""), std::nullopt);
  EXPECT_EQ(br.ParseDateTime("06//2026"), std::nullopt);
}

TEST(RegionalTest, ParseFollowsTheShortDateFormatsOrder) {
  RegionalSettings us;
  us.short_date_format = "mm-dd-yyyy";
  EXPECT_EQ(us.ParseDateTime("12-06-2026"), DateTime::FromCivil(2026, 12, 6));
  EXPECT_EQ(us.FormatDateTime("ddddd", SundayEvening()), "12-06-2026");
}

}  // namespace
}  // namespace zlv
