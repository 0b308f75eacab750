// StoreRoad: one store and its central server as the real programs see them, for the
// end-to-end tests. It makes a whole installation in a temporary folder (the embedded store
// database from db/, the configuration key file, the environment pointing ZlvSinc at them:
// see tests/host/installation.h), starts the reference central server (zlvsinc-central serve,
// a child process on a free loopback port) on the hub database it is given, SQLite or
// PostgreSQL, and points the key's IpServer at it. The synchroniser runs as the real
// executable, one start-up and one cycle per RunOnce ("ZlvSinc 0001_001_ /ONCE": branch 0001,
// cash register 001 of store 001).
//
// With Link::kHttps the store reaches the hub over HTTPS instead: the hub serves its HTTPS port
// with a certificate made for the test (trusted by the store through ZLVSINC_CA_FILE), register
// 001 gets an installation token for store 001, and the key's IpServer and Token point at it.
//
// Failures of the programs themselves throw std::runtime_error with their output, so a test
// ends at the step that broke. For use on the test's own thread.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "central/hub_client.h"
#include "child_process.h"
#include "installation.h"

namespace zlv::test {

class StoreRoad {
 public:
  enum class Link { kTcp, kHttps };

  // hub: where the central server keeps its data, an SQLite file or a PostgreSQL URI
  // (central/hub_test_backends.h makes a new one of either).
  explicit StoreRoad(std::string hub, Link link = Link::kTcp);
  ~StoreRoad();
  StoreRoad(const StoreRoad&) = delete;
  StoreRoad& operator=(const StoreRoad&) = delete;

  Installation& install() { return install_; }

  // The central side, through zlvsinc-central's own commands. Both return central sale
  // numbers: the orders added, the orders whose cancellation is now pending.
  std::vector<std::string> AddOrders(int count, int scheduled = 0);
  std::vector<std::string> CancelOrders(int count);
  // A channel of the hub's HTTP API for the store: registers the store (its time zone UTC),
  // its branch's settings (the demo store database's codes) and a key for channel "web" on
  // first use.
  HubClient& Channel();
  // The first cell of a query on the central server's database, through its own back end (so
  // SQL both SQLite and PostgreSQL run); "" for no row.
  std::string Central(const std::string& sql) const;

  // A new token of an installation of branch 0001 (add-installation), and its revocation.
  std::string AddInstallation(const std::string& cash_register, const std::string& store);
  void RevokeInstallation(const std::string& token, const std::string& cash_register = "001");
  // The token the store sends from its next run on ("": none).
  void UseToken(std::string token);
  // The CA file the store trusts for the hub's certificate (HTTPS only).
  void TrustCaFile(const std::filesystem::path& file);
  const std::filesystem::path& hub_certificate() const { return certificate_; }

  // Points ConnectionString at the same store database through unixODBC and the SQLite ODBC
  // driver ($ZLV_SQLITE_ODBC_DRIVER, else Debian's path); false when that driver is missing.
  bool UseOdbc();

  // One run of the synchroniser; throws unless it ends with the status expected (0: it reached
  // the central server and logged no failure; 70: it logged one).
  void RunOnce(int expected_status = 0);

  // The store database: the first cell of a query ("" for no row), or SQL to run as the
  // store's own programs would (closing a tab, marking it ready for the courier).
  std::string Store(const std::string& sql) const;
  std::vector<std::string> StoreColumn(const std::string& sql) const;
  void StoreSql(const std::string& sql) const { install_.Sql(sql); }

  // The ticket folder: the .txt file names (sorted), one ticket's text in UTF-8 with CR LF
  // line ends, and clearing it as the print spooler does once it has printed.
  std::filesystem::path TicketFolder() const;
  std::vector<std::string> Tickets() const;
  std::string Ticket(const std::string& name) const;
  void ClearTickets() const;

  std::vector<std::string> Log() const { return install_.Log(); }

 private:
  std::string RunCentralCommand(const std::vector<std::string>& args);
  // The key file from what it holds now: IpServer, ConnectionString and Token.
  void WriteRegistry();

  Installation install_;
  std::string hub_;
  std::filesystem::path central_folder_;
  Link link_;
  std::string central_address_, api_url_;
  std::string connection_string_, token_;
  std::filesystem::path certificate_;
  std::optional<ScopedEnv> ca_file_;
  std::unique_ptr<HubClient> channel_;
  std::unique_ptr<ChildProcess> central_;
  int runs_ = 0;
};

// The store's local number of a downloaded order ("" while it is not in the store).
std::string LocalSale(const StoreRoad& road, const std::string& central_sale);

}  // namespace zlv::test
