#include "health/health_recorder.h"

#include <stdexcept>

#include "health/health_metrics.h"
#include "platform/durable_file.h"

namespace zlv {

HealthRecorder::HealthRecorder(Setup setup) : setup_(std::move(setup)) {
  record_.pid = setup_.pid;
  record_.service = setup_.service;
  record_.boot_id = setup_.boot_id;
  record_.started = Now();
  record_.heartbeat = record_.started;
}

Instant HealthRecorder::Now() const { return {setup_.clock.Now(), setup_.clock.Steady()}; }

void HealthRecorder::SetStore(std::string branch, std::string cash_register) {
  record_.branch = std::move(branch);
  record_.cash_register = std::move(cash_register);
  Write();
}

// Called at every order and ticket: only the steady reading is taken until a write is due,
// since the record in memory is read by nobody but the writes.
void HealthRecorder::Heartbeat() {
  if (written_ && setup_.clock.Steady() - last_write_steady_ < kHeartbeatWriteSeconds) return;
  record_.heartbeat = Now();
  Write();
}

void HealthRecorder::CycleStarted() { cycle_started_ = Now(); }

void HealthRecorder::CycleEnded(bool server_reached, bool ok, std::string failure_line,
                                const CycleActivity& activity) {
  const Instant now = Now();
  record_.heartbeat = now;
  record_.last_cycle = HealthRecord::Cycle{.started = cycle_started_,
                                           .ended = now,
                                           .ok = ok,
                                           .server_reached = server_reached,
                                           .failure_line = std::move(failure_line),
                                           .counters = activity.counters};
  if (activity.download_answered) record_.last_download = activity.download_answered;
  if (activity.upload_answered) record_.last_upload = activity.upload_answered;
  ++record_.cycles;
  if (!ok) ++record_.failed_cycles;
  record_.totals += activity.counters;
  Write();
}

void HealthRecorder::Write() {
  last_write_steady_ = record_.heartbeat.steady;
  try {
    WriteHealthRecord(setup_.record_file, record_);
    if (!setup_.metrics_file.empty()) {
      std::filesystem::create_directories(setup_.metrics_file.parent_path());
      std::filesystem::path temp = setup_.metrics_file;
      temp += ".tmp";
      platform::WriteFileDurably(
          setup_.metrics_file, temp,
          HealthMetricsText(record_, setup_.clock.Steady(), setup_.unix_now()));
    }
    written_ = true;
    failure_reported_ = false;
  } catch (const std::exception& e) {
    written_ = true;  // the next try waits for the heartbeat interval like any other
    if (!failure_reported_ && setup_.report) setup_.report(e.what());
    failure_reported_ = true;
  }
}

}  // namespace zlv
