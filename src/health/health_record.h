// HealthRecord: what the running synchroniser leaves on disk for whoever asks how it is (the
// /STATUS command, a monitoring agent): who runs, since when, its last sign of life, how the
// last cycle went, when the central server last answered and handed out the orders, and what
// the cycles did. The running process rewrites the file <exe folder>/Dados/ZlvSincEstado.json
// in one piece (a temporary file renamed over it), so a reader sees the old record or the new
// one, never half of one.
//
// Every instant is kept twice: the wall-clock date, for people, and a reading of the clock
// that counts from the computer's start (`steady`, seconds), for ages. Setting the computer's
// date moves the first and not the second, so a clock correction never makes a working
// synchroniser look stopped, or a stopped one look alive. A steady reading means something only
// within the start it was taken in: `boot_id` names it (empty where the system gives none; a
// reading larger than the reader's own then tells a restart of the computer).
//
// Plain values; any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "bizlib/clock.h"
#include "bizlib/cycle_activity.h"
#include "data/datetime.h"

namespace zlv {

struct HealthRecord {
  std::int64_t pid = 0;
  bool service = false;  // run as the service (else a desktop process)
  std::string boot_id;
  std::string branch;         // CDFILIAL
  std::string cash_register;  // CDCAIXA
  Instant started;
  Instant heartbeat;  // the last sign of life: every tick and every order

  // The last cycle that ended; absent before the first.
  struct Cycle {
    Instant started;
    Instant ended;
    bool ok = true;  // no failure line was logged during it
    bool server_reached = false;
    std::string failure_line;  // the first failure line it logged, when it failed
    CycleCounters counters;
  };
  std::optional<Cycle> last_cycle;
  std::optional<Instant> last_download;  // the last BaixaPedidos the server answered
  std::optional<Instant> last_upload;    // the last AtualizaPedidos the server answered
  std::int64_t cycles = 0;
  std::int64_t failed_cycles = 0;
  CycleCounters totals;  // since the process started
};

// The record's file under an installation's data.
std::filesystem::path HealthRecordPath(const std::filesystem::path& exe_folder);

std::string HealthRecordToJson(const HealthRecord& record);
// The counters as a JSON object named as in the record (the status command's JSON too).
nlohmann::json CycleCountersJson(const CycleCounters& counters);
// Throws std::runtime_error naming what is wrong when the text is not a record.
HealthRecord HealthRecordFromJson(const std::string& text);

// Replaces the file in one piece (temporary file and rename, on the disk when the call
// returns). Throws std::runtime_error naming the file.
void WriteHealthRecord(const std::filesystem::path& path, const HealthRecord& record);
// Empty when there is no file (the synchroniser never ran here); throws std::runtime_error
// naming the file when it cannot be read or is not a record.
std::optional<HealthRecord> ReadHealthRecord(const std::filesystem::path& path);

}  // namespace zlv
