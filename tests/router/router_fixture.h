// The router tests' world: a store database made from the project's schema and demo seed in a
// temporary folder, store 001 of branch 0001 set to use the router at a real HTTPS server on
// loopback, a fake clock, the activity log in the temporary folder, and helpers that insert
// order rows with SQL and read back the log and the order tab's router state.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/database.h"
#include "store/services.h"
#include "support/https_server.h"
#include "support/temp_dir.h"

namespace zlv::test {

class RouterTest : public ::testing::Test {
 protected:
  explicit RouterTest(
      TestHttpsServer::Certificate certificate = TestHttpsServer::Certificate::kTrusted);
  ~RouterTest() override;

  // Runs SQL on the store database with sqlite3_exec (several statements allowed).
  void Sql(const std::string& sql);
  void SetRouterAddress(const std::string& cdurlrot);

  // A delivery order of store 001 ready for the router (IDSTCOMANDA 'P'), for consumer
  // 0001/000001 in Sao Paulo, entered at 07/03/2026 19:05:09.
  void AddOrder(const std::string& nrvendarest, const std::string& nrcomanda);
  void AddItem(const std::string& nrvendarest, const std::string& nrcomanda,
               const std::string& nrprodcomven, const std::string& cdproduto, double quantidade,
               double preco);
  // kind: IDTIPOMOVIVEDLV ('E' received, 'T', 'S' change given back).
  void AddPayment(const std::string& nrvendarest, const std::string& nrseqmovdlv,
                  const std::string& cdtiporece, const std::string& kind, double valor);

  // The order tab's IDSITUPEDROT and DTSAIDACMD as stored ("" for NULL).
  std::pair<std::string, std::string> RouterState(const std::string& nrcomanda);
  // The messages logged so far, without their time stamps, as UTF-8.
  std::vector<std::string> LogMessages() const;

  TempDir dir_{"zlv_router"};
  TestHttpsServer server_;
  FakeClock clock_{DateTime::FromCivil(2026, 3, 7, 19, 30, 0)};
  std::unique_ptr<Database> db_ = OpenStoreDatabase(dir_);
  ActivityLog log_{dir_.path(), clock_};
  Globals globals_;
  Services services_{*db_, log_, clock_, globals_, dir_.path()};

 private:
  // The demo store database (schema and seed) in the folder, opened with the session set-up.
  static std::unique_ptr<Database> OpenStoreDatabase(const TempDir& dir);
};

}  // namespace zlv::test
