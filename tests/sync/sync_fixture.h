// SyncInstallation: a whole store installation in a temporary folder for the cycle's tests:
// the embedded store database made from db/schema.sqlite.sql and db/demo-seed.sql (behind a
// FaultyDatabase that passes everything through until told otherwise, reached through the real
// StoreConnection as the program reaches its store), the ticket folder, the
// log, the process-wide values of register 001 of store 001, and the real reference central
// server on 127.0.0.1 (its own database, served on a thread), optionally reached through a
// DroppingProxy, over framed TCP or over HTTPS. The synchroniser side is the real CentralClient,
// SyncTimer and SyncCycle.
//
// The fake clock starts at the real time, because the store's upload window is measured from
// the database's own clock. Test thread only (the server and the proxy run their own threads).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "central/central_server.h"
#include "central/sqlite_hub_store.h"
#include "database/store_connection.h"
#include "dropping_proxy.h"
#include "faulty_database.h"
#include "log/activity_log.h"
#include "store/services.h"
#include "support/temp_dir.h"
#include "sync/central_client.h"
#include "sync/cycle.h"
#include "sync/sync_timer.h"

namespace zlv::test {

inline constexpr const char* kFilial = "0001";
inline constexpr const char* kLoja = "001";
inline constexpr const char* kCaixa = "001";

class SyncInstallation {
 public:
  struct Options {
    bool through_proxy = false;
    // The store reaches the server over HTTPS (its /rpc, a certificate made for the test, the
    // installation's token) instead of its framed TCP port.
    bool https = false;
  };
  SyncInstallation() : SyncInstallation(Options{}) {}
  explicit SyncInstallation(Options options);
  ~SyncInstallation();

  // The synchroniser.
  void Tick() { cycle_->timSincronismoTimer(); }
  SyncCycle& cycle() { return *cycle_; }
  SyncTimer& timer() { return timer_; }
  CentralClient& client() { return client_; }
  Globals& globals() { return globals_; }
  FakeClock& clock() { return clock_; }
  Services& services() { return *services_; }
  int trim_calls() const { return trim_calls_; }
  // Whether the timer was on when the last run trimmed memory (in the middle of the run).
  bool timer_on_during_run() const { return timer_on_during_run_; }
  // Points the client at a port where nothing listens (true) or back at the server.
  void MakeServerUnreachable(bool unreachable);
  DroppingProxy& proxy() { return *proxy_; }
  // The installation's folder (log, ticket folder) and the port the central server is reached on.
  const std::filesystem::path& folder() const { return dir_.path(); }
  int server_port() const { return reachable_port_; }

  // Hands over the installation's folder, which then outlives the installation: the
  // benchmarks remove theirs only when they end (see bench/sync_bench.cc).
  TempDir TakeFolder() { return std::move(dir_); }

  // The store database: the fault injector behind the connection, and the connection.
  FaultyDatabase& db() { return *db_; }
  StoreConnection& store() { return *store_; }
  void Sql(const std::string& sql) { db_->real().Execute(sql, {}, 0); }
  int64_t Count(const std::string& sql);
  std::string Value(const std::string& sql);  // first cell, "" for no row
  std::filesystem::path TicketFolder() const;
  // Delivery sales the store opened today and has not synchronised: sales first, first+1, ...
  // each with one open order tab numbered 2000 above it ("DLV_" + that number).
  void InsertPendingSales(int count, int first = 5001);
  // A status-history row not sent yet, for a sale of InsertPendingSales.
  void InsertHistoryRow(int sale, int sequence);
  // The store's sale number of a downloaded order.
  std::string LocalSale(const std::string& central_sale);

  // The central server's side, through a connection of the test's own.
  SqliteHubStore& central() { return *central_; }
  // Generates orders for the demo store from its master data; returns their central numbers.
  std::vector<std::string> AddOrders(int count, int scheduled = 0,
                                     const std::string& store = kLoja);
  StoreCounts CentralCounts(const std::string& store = kLoja);

  // The messages logged so far (time stamps removed), and the messages of the last run:
  // from its "INICIO" (or exit) line to its "FIM" line.
  std::vector<std::string> LogLines() const;
  std::vector<std::string> LastRun() const;
  int CountLogged(const std::string& message) const;
  int CountLoggedStartingWith(const std::string& prefix) const;

 private:
  TempDir dir_{"zlv_sync"};
  FakeClock clock_;
  SystemClock server_clock_;
  Globals globals_;
  std::unique_ptr<FaultyDatabase> db_;
  std::unique_ptr<StoreConnection> store_;
  std::unique_ptr<ActivityLog> log_;
  std::unique_ptr<Services> services_;

  std::unique_ptr<SqliteHubStore> server_store_;
  std::unique_ptr<CentralServer> server_;
  std::thread server_thread_;
  std::unique_ptr<DroppingProxy> proxy_;
  std::unique_ptr<SqliteHubStore> central_;
  CentralEndpoint endpoint_;
  int reachable_port_ = 0;
  std::string reachable_url_;
  uint64_t seed_ = 1;

  CentralClient client_;
  SyncTimer timer_{clock_};
  int trim_calls_ = 0;
  bool timer_on_during_run_ = false;
  std::unique_ptr<SyncCycle> cycle_;
};

}  // namespace zlv::test
