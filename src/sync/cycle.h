// SyncCycle: the synchronisation timer's handler `timSincronismoTimer`, one tick of the
// synchroniser. A tick marks a sign of life for the watchdog, makes the store database
// connection again when it is down or was lost (and does nothing more while it stays down),
// connects the central server when it is not connected, runs one download-and-upload run
// (`SincronizaDLV`) per store this cash register synchronises (its own store, or every store of the
// branch) — or, while the server cannot be reached, prints those stores' owed tickets (the ticket
// journal's orders, committed but not printed before the process died) — and then releases the
// scheduled orders whose production time has come (`SincronizaENC`).
//
// Owns the run's state (SyncRun: the downloaded and upload datasets and the statements the runs
// reuse) for the life of the process; the main form owns the SyncCycle. The runs and the
// release switch the timer off while they work and on again at their end, so ticks never
// overlap and the next one comes one interval after the end of the last of them.
//
// A failure of the tick's own queries (the stores, the scheduled-order check) leaves the tick
// and reaches the caller; the next tick starts afresh (with a new connection when the failure
// was the lost link). Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "database/named_statement.h"
#include "database/store_connection.h"
#include "store/services.h"
#include "sync/central_client.h"
#include "sync/download_run.h"
#include "sync/sync_timer.h"

namespace zlv {

class SyncRun;

// What the last tick did, for a caller that runs a single cycle and reports it (ONCE).
struct CycleOutcome {
  bool address_missing = false;  // IpServer absent or malformed
  bool server_reached = false;   // the central server was connected
  OrderTally orders;
};

class SyncCycle {
 public:
  // store is the connection behind services.db, which each tick makes again in place when it
  // is down or was lost, so that the statements kept on it go on working. trim_memory is
  // TrimAppMemorySize, called at the start of every run that does not end at once. flush_dns is
  // the DNS flush run after a failed connection to a server named by a host name
  // ("ipconfig /flushdns"); nothing when empty.
  SyncCycle(Services& services, StoreConnection& store, CentralClient& central, SyncTimer& timer,
            std::function<void()> trim_memory, std::function<void()> flush_dns = nullptr);
  ~SyncCycle();
  SyncCycle(const SyncCycle&) = delete;
  SyncCycle& operator=(const SyncCycle&) = delete;

  // One tick. Called by the main loop when the timer is due, and once by start-up.
  void timSincronismoTimer();

  SyncRun& run() { return *run_; }
  CycleOutcome last_outcome() const;

 private:
  void ConnectCentral();
  void RunStores();
  void PrintOwedTickets();
  // Runs the action for each store this cash register synchronises, with gCDLOJA set to it.
  void ForEachStore(bool log_branch_mode, const std::function<void(const std::string&)>& action);
  // Reopens a query of this branch and cash register.
  void AbreConsultaCaixa(NamedStatement& query);
  void ReleaseScheduledOrders();

  Services& services_;
  StoreConnection& store_;
  CentralClient& central_;
  SyncTimer& timer_;
  std::function<void()> flush_dns_;
  std::unique_ptr<SyncRun> run_;
  CycleOutcome last_;
  NamedStatement adqDados_, adqVerifEncomenda_;
};

}  // namespace zlv
