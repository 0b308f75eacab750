// HealthRecorder: keeps the running synchroniser's health record (health/health_record.h) and
// its metrics file (health/health_metrics.h) up to date: a heartbeat at every sign of life,
// the cycle's facts and counters at the end of every cycle. Both files are replaced in one
// piece; a heartbeat writes at most every kHeartbeatWriteSeconds, so a burst of orders does
// not become a burst of disk writes (the status command allows minutes).
//
// A file that cannot be written is reported once through `report` (the log), and again only
// after a write succeeded: the synchroniser goes on, its cycle does not depend on it.
//
// Main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "bizlib/clock.h"
#include "bizlib/cycle_activity.h"
#include "health/health_record.h"

namespace zlv {

inline constexpr double kHeartbeatWriteSeconds = 15;

class HealthRecorder {
 public:
  struct Setup {
    std::filesystem::path record_file;
    std::filesystem::path metrics_file;  // empty: no metrics file
    const Clock& clock;
    long pid = 0;
    bool service = false;
    std::string boot_id;
    std::function<void(const std::string&)> report;  // a failure line for the log
    // Unix time now, for the metrics file's timestamps.
    std::function<double()> unix_now;
  };

  explicit HealthRecorder(Setup setup);
  HealthRecorder(const HealthRecorder&) = delete;
  HealthRecorder& operator=(const HealthRecorder&) = delete;

  // The branch and cash register, once start-up has read them.
  void SetStore(std::string branch, std::string cash_register);
  void Heartbeat();
  void CycleStarted();
  // ok: the cycle logged no failure line; failure_line: the last it logged.
  void CycleEnded(bool server_reached, bool ok, std::string failure_line,
                  const CycleActivity& activity);

  const HealthRecord& record() const { return record_; }

 private:
  Instant Now() const;
  void Write();

  Setup setup_;
  HealthRecord record_;
  Instant cycle_started_;
  double last_write_steady_ = 0;
  bool written_ = false;
  bool failure_reported_ = false;
};

}  // namespace zlv
