#include "log/activity_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace zlv {
namespace {

using test::ReadFileBytes;

class ActivityLogTest : public ::testing::Test {
 protected:
  std::filesystem::path LogFile(const std::string& mmyy, const std::string& ddmmyy) const {
    return home_.path() / "Dados" / "Zlv_Sinc" / mmyy / ("LogZlvSinc" + ddmmyy + ".txt");
  }

  test::TempDir home_{"zlv-log"};
  FakeClock clock_{DateTime::FromCivil(2026, 12, 6, 23, 41, 7)};
  ActivityLog log_{home_.path(), clock_};
};

TEST_F(ActivityLogTest, WritesStampedLineInWindows1252WithCrLf) {
  log_.GravaLog("Sincronização por FILIAL");
  log_.GravaLog("");
  EXPECT_EQ(ReadFileBytes(LogFile("1226", "061226")),
            "06/12/2026 23:41:07 - Sincroniza\xE7\xE3o por FILIAL\r\n"
            "06/12/2026 23:41:07 - \r\n");
}

TEST_F(ActivityLogTest, AppendsToTheDaysFileWithoutTouchingEarlierLines) {
  test::WriteFileBytes(LogFile("1226", "061226"), "earlier line\r\n");
  log_.GravaLog("next");
  EXPECT_EQ(ReadFileBytes(LogFile("1226", "061226")),
            "earlier line\r\n06/12/2026 23:41:07 - next\r\n");
}

TEST_F(ActivityLogTest, MidnightOpensNewFileAndNewMonthOpensNewFolder) {
  clock_.Set(DateTime::FromCivil(2026, 6, 30, 23, 59, 59));
  log_.GravaLog("last of june");
  clock_.Advance(1);
  log_.GravaLog("first of july");
  clock_.Set(DateTime::FromCivil(2026, 7, 2, 0, 0, 1));
  log_.GravaLog("second of july");

  EXPECT_EQ(ReadFileBytes(LogFile("0626", "300626")), "30/06/2026 23:59:59 - last of june\r\n");
  EXPECT_EQ(ReadFileBytes(LogFile("0726", "010726")), "01/07/2026 00:00:00 - first of july\r\n");
  EXPECT_EQ(ReadFileBytes(LogFile("0726", "020726")), "02/07/2026 00:00:01 - second of july\r\n");
}

TEST_F(ActivityLogTest, LineAtTheStrokeOfMidnightLandsInTheFileOfItsStamp) {
  // A tenth of a millisecond before midnight is stamped 00:00:00 of the next day; the file
  // must be that day's as well, not the day before.
  clock_.Set(DateTime::FromCivil(2026, 12, 31, 23, 59, 59, 999).AddSeconds(0.0009));
  log_.GravaLog("turn of the year");
  EXPECT_EQ(ReadFileBytes(LogFile("0127", "010127")), "01/01/2027 00:00:00 - turn of the year\r\n");
  EXPECT_FALSE(std::filesystem::exists(LogFile("1226", "311226")));
}

TEST_F(ActivityLogTest, DeletedMonthFolderIsCreatedAgain) {
  log_.GravaLog("one");
  std::filesystem::remove_all(home_.path() / "Dados" / "Zlv_Sinc" / "1226");
  log_.GravaLog("two");
  EXPECT_EQ(ReadFileBytes(LogFile("1226", "061226")), "06/12/2026 23:41:07 - two\r\n");
}

TEST_F(ActivityLogTest, UnwritableFolderThrowsNamingThePath) {
  test::WriteFileBytes(home_.path() / "Dados" / "Zlv_Sinc", "a file where the folder goes");
  try {
    log_.GravaLog("lost");
    FAIL() << "GravaLog did not report the failure";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Zlv_Sinc"), std::string::npos) << e.what();
  }
}

TEST_F(ActivityLogTest, ConcurrentWritersNeverInterleaveLines) {
  constexpr int kLinesPerThread = 1000;
  auto writer = [this](char name) {
    for (int i = 0; i < kLinesPerThread; ++i) {
      log_.GravaLog(std::string(1, name) + "-" + std::to_string(i) + " ação");
    }
  };
  std::thread main_thread(writer, 'M');
  std::thread watchdog(writer, 'W');
  main_thread.join();
  watchdog.join();

  const std::string bytes = ReadFileBytes(LogFile("1226", "061226"));
  ASSERT_TRUE(bytes.ends_with("\r\n"));
  const std::regex whole("06/12/2026 23:41:07 - [MW]-[0-9]+ a\xE7\xE3o");
  std::set<std::string> seen;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = bytes.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(line, whole)) << line;
    seen.insert(line);
    start = end + 2;
  }
  EXPECT_EQ(seen.size(), 2u * kLinesPerThread);
}

}  // namespace
}  // namespace zlv
