// The store's local numbers in the download run, when the point-of-sale system writes sales and
// order tabs in the same database: a number it took must never block the branch's orders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "log_match.h"
#include "support/temp_dir.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

std::string Padded(int64_t number) {
  std::string digits = std::to_string(number);
  return std::string(10 - digits.size(), '0') + digits;
}

int64_t Counter(SyncInstallation& s, const std::string& name) {
  return s.Count("SELECT NRULTIMO FROM ZLVPROXCODIGO WHERE CDFILIAL = '0001' AND NMCONTADOR = '" +
                 name + "'");
}

// The counters after one order was written and the point of sale then took the next sale
// number and the next two order-tab numbers.
struct Counters {
  int64_t sale, tab;
};
Counters AfterThePointOfSaleTookTheNextNumbers(SyncInstallation& s) {
  s.AddOrders(1);
  s.Tick();
  const int64_t sale = Counter(s, "NRVENDAREST");
  const int64_t tab = Counter(s, "NRCOMANDA");
  s.Sql("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST) VALUES ('0001', '" + Padded(sale + 1) +
        "')");
  for (int64_t n : {tab + 1, tab + 2}) {
    s.Sql("INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) VALUES ('0001', '" +
          Padded(sale + 1) + "', '" + Padded(n) + "')");
  }
  return {sale, tab};
}

TEST(StoreNumbers, NumbersThePointOfSaleTookAreSkippedAndTheOrderCommitsInTheSameRun) {
  SyncInstallation s;
  const auto [sale, tab] = AfterThePointOfSaleTookTheNextNumbers(s);

  const std::string central = s.AddOrders(1).at(0);
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 0);
  EXPECT_EQ(s.LocalSale(central), Padded(sale + 2));
  EXPECT_EQ(
      s.Value("SELECT NRCOMANDA FROM COMANDAVEN WHERE NRVENDAREST = '" + Padded(sale + 2) + "'"),
      Padded(tab + 3));
}

// An order that fails after its numbers skipped the point of sale's gives its own numbers back,
// but not the skipped ones: the next order does not seek past them again, and another process
// starting from the counters finds them behind it.
TEST(StoreNumbers, TheAdvancePastNumbersInUseOutlivesTheOrdersRollback) {
  SyncInstallation s;
  const auto [sale, tab] = AfterThePointOfSaleTookTheNextNumbers(s);

  s.AddOrders(1);
  s.db().FailExecutes("INSERT INTO ITCOMANDAVEN", "disco cheio");
  s.Tick();
  EXPECT_TRUE(ContainsPrefix(s.LastRun(), "Rollback do pedido NRVENDARESTAUX:"));
  EXPECT_EQ(Counter(s, "NRVENDAREST"), sale + 1);
  EXPECT_EQ(Counter(s, "NRCOMANDA"), tab + 2);

  s.db().ClearFaults();
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_EQ(Counter(s, "NRVENDAREST"), sale + 2);
}

// A store whose upgrade script has not run: without its counters no order can get numbers. The
// program makes no table itself; it downloads nothing (so nothing is confirmed and the server
// keeps the orders) and says once what to run. Once the script has run, the orders come.
TEST(StoreNumbers, AStoreWithoutTheCounterTableDownloadsNothingAndIsToldOnceToRunTheScript) {
  SyncInstallation s;
  s.Sql("DROP TABLE ZLVPROXCODIGO");
  s.AddOrders(1);
  s.Tick();
  s.Tick();
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 0);
  EXPECT_EQ(s.CentralCounts().orders_pending, 1);
  EXPECT_EQ(s.CountLoggedStartingWith(
                "Tabela ZLVPROXCODIGO não encontrada no banco da loja: nenhum pedido será baixado "
                "até que se execute o script db/upgrade.sqlite.sql"),
            1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ZLVPROXCODIGO'"), 0)
      << "no table made at run time";

  s.Sql(ReadFileBytes(std::filesystem::path(ZLV_SOURCE_DIR) / "db" / "upgrade.sqlite.sql"));
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
}

}  // namespace
}  // namespace zlv::test
