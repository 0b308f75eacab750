// The synchroniser's health at a glance (the /STATUS command): the facts gathered about one
// installation, the verdict drawn from them, and the two forms it is shown in, one screen of
// Portuguese for a technician reading it to support on the phone and one JSON object for
// tools. Gathering the facts is the command's job (host/status_command.h); this is the pure
// part, so every verdict is tested on plain values.
//
// The verdict is the exit status monitoring reads:
//   0 healthy
//   1 needs attention: orders refused today, tickets owed, an upload backlog older than 10
//     minutes (order tabs waiting for as long, with no upload answered for as long), or no
//     synchroniser running while its last sign of life is recent
//   2 not working: no sign of life for 3 minutes, no BaixaPedidos answered for 5 minutes, or
//     the store database unreachable
//   3 the status could not be read
// Ages of the process's own instants come from the clock that counts from the computer's
// start (health/health_record.h), so a clock correction never flips the verdict; ages of
// rows in the store database are on its wall clock, the only one they carry.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/datetime.h"
#include "health/health_record.h"
#include "platform/health_probe.h"

namespace zlv {

// What the store database says. Absent fields mean the database could not be asked.
struct StoreFacts {
  struct RefusedOrder {
    std::string central_number;  // NRVENDARESTAUX
    int attempts = 0;
    std::string diagnosis;  // the last one logged: the product, operator or seller to fix
    DateTime last_at;
  };
  std::vector<RefusedOrder> refused_today;
  int owed_tickets = 0;  // journal rows older than two minutes
  std::optional<DateTime> oldest_owed_ticket;
  int unsynced_tabs = 0;  // delivery order tabs each upload still sends (not yet "D")
  std::optional<DateTime> oldest_unsynced_tab;
  int router_waiting = 0;  // orders ready for the delivery router and not yet sent
  struct ScheduledOrder {
    std::string order;  // NRVENDAREST
    DateTime release_at;
  };
  std::vector<ScheduledOrder> scheduled;
};

// Whether a synchroniser holds the machine's lock, as the system tells it.
using Liveness = platform::InstanceState;

struct StatusFacts {
  Instant now;          // the reader's clocks
  std::string boot_id;  // the reader's computer start (empty: unknown)
  std::string branch;   // CDFILIAL
  std::string cash_register;
  Liveness liveness = Liveness::kUnknown;
  std::string service_state;           // what the service manager says; empty where it says nothing
  std::optional<HealthRecord> record;  // absent: the synchroniser never ran here
  std::string record_error;            // set when the record could not be read
  std::string central_server;          // IpServer as configured
  std::string store_database;          // the connection string, passwords masked
  std::optional<StoreFacts> store;     // absent: the database could not be opened or read
  std::string store_error;             // why
};

enum class StatusLevel { kHealthy = 0, kAttention = 1, kNotWorking = 2, kUnreadable = 3 };

struct StatusVerdict {
  StatusLevel level = StatusLevel::kHealthy;
  std::vector<std::string> reasons;  // one line each, in Portuguese, most serious first
};

inline constexpr double kHeartbeatLimitSeconds = 3 * 60;
inline constexpr double kDownloadLimitSeconds = 5 * 60;
inline constexpr double kOwedTicketSeconds = 2 * 60;
inline constexpr double kUploadBacklogSeconds = 10 * 60;

StatusVerdict Assess(const StatusFacts& facts);
std::string StatusText(const StatusFacts& facts, const StatusVerdict& verdict);
std::string StatusJson(const StatusFacts& facts, const StatusVerdict& verdict);

// The connection string with the value of every password-like key (PWD, Password) replaced
// by asterisks; other values kept, so the technician recognises the database.
std::string MaskConnectionString(const std::string& connection);

}  // namespace zlv
