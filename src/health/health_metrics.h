// The health record in the Prometheus text exposition format, for the textfile collector of a
// node_exporter (Linux) or windows_exporter (Windows) on the store's computer: nothing in the
// store listens on a port. Counters end in _total and count since the process started (a
// restart sets them back, which Prometheus's rate() allows for); times are in seconds, instants
// as Unix time. zlvsinc_last_cycle_end_timestamp_seconds lets an alert tell a stale file
// (docs/operations.md has the metric list and an alert rule).
//
// Pure function; any thread.
#pragma once

#include <string>

#include "health/health_record.h"

namespace zlv {

// The record's instants are placed in Unix time by their distance, on the clock counting from
// the computer's start, from `now` (a reading of that clock) taken at `unix_now`.
std::string HealthMetricsText(const HealthRecord& record, double now_steady, double unix_now);

}  // namespace zlv
