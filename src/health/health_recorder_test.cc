#include "health/health_recorder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zlv {
namespace {

struct RecorderFixture : testing::Test {
  test::TempDir dir;
  FakeClock clock{DateTime::FromCivil(2026, 12, 8, 20, 0, 0)};
  std::vector<std::string> reported;
  HealthRecorder recorder{{.record_file = dir.path() / "estado.json",
                           .metrics_file = dir.path() / "metrics" / "zlvsinc.prom",
                           .clock = clock,
                           .pid = 7,
                           .service = false,
                           .boot_id = "b",
                           .report = [this](const std::string& what) { reported.push_back(what); },
                           .unix_now = [] { return 1.8e9; }}};
};

// The record read back is the one written, and a burst of heartbeats is one write.
TEST_F(RecorderFixture, HeartbeatsWriteAtMostEveryInterval) {
  recorder.SetStore("0001", "001");
  recorder.CycleStarted();
  recorder.CycleEnded(true, false, "Erro X",
                      {.counters = {.orders_inserted = 2, .tickets_written = 3},
                       .download_answered = ReadInstant(clock),
                       .upload_answered = std::nullopt});
  const HealthRecord written = *ReadHealthRecord(dir.path() / "estado.json");
  EXPECT_EQ(HealthRecordToJson(written), HealthRecordToJson(recorder.record()));
  EXPECT_EQ(written.totals.orders_inserted, 2);
  EXPECT_EQ(written.failed_cycles, 1);
  EXPECT_NE(test::ReadFileBytes(dir.path() / "metrics" / "zlvsinc.prom")
                .find("zlvsinc_tickets_written_total 3"),
            std::string::npos);

  clock.Advance(kHeartbeatWriteSeconds - 1);
  recorder.Heartbeat();
  EXPECT_EQ(ReadHealthRecord(dir.path() / "estado.json")->heartbeat.steady,
            written.heartbeat.steady);
  clock.Advance(1);
  recorder.Heartbeat();
  EXPECT_EQ(ReadHealthRecord(dir.path() / "estado.json")->heartbeat.steady, clock.Steady());
}

TEST_F(RecorderFixture, UnwritableFileIsReportedOnceUntilAWriteSucceeds) {
  std::filesystem::create_directories(dir.path() / "estado.json");  // a folder in the way
  recorder.CycleEnded(true, true, "", {});
  clock.Advance(kHeartbeatWriteSeconds);
  recorder.Heartbeat();
  EXPECT_EQ(reported.size(), 1u);
  std::filesystem::remove(dir.path() / "estado.json");
  clock.Advance(kHeartbeatWriteSeconds);
  recorder.Heartbeat();
  std::filesystem::remove(dir.path() / "estado.json");
  std::filesystem::create_directories(dir.path() / "estado.json");
  recorder.CycleEnded(true, true, "", {});
  EXPECT_EQ(reported.size(), 2u);
}

TEST(HealthRecordTest, RefusesAnotherFormat) {
  EXPECT_THROW(HealthRecordFromJson(R"({"format":2})"), std::runtime_error);
  EXPECT_THROW(HealthRecordFromJson("{"), std::runtime_error);
}

}  // namespace
}  // namespace zlv
