// SincronizaENC: scheduled orders released to the kitchen once, when due, in mode "E".
#include <gtest/gtest.h>

#include "print/print_store.h"
#include "print/scheduled_release.h"

namespace zlv::test {
namespace {

class ScheduledReleaseTest : public ::testing::Test {
 protected:
  void Release() {
    TicketSources sources = store_.sources();
    SincronizaENC(store_.services(), sources, "0001", "001",
                  [this](bool on) { timer_.push_back(on); });
  }
  std::string ReleaseFlag(const std::string& sale) {
    DataPacket rows = store_.db().Query(
        "SELECT IDSINCAGENDA FROM COMANDAVEN WHERE NRVENDAREST = '" + sale + "'", {});
    return rows.rows.at(0).at(0).AsText();
  }
  // A lead time that makes any order of this century due, whatever the machine's clock.
  void EveryOrderDue() { store_.Sql("UPDATE LOJA SET NRTEMPOPRODUCAO = 100000000;"); }

  PrintStore store_;
  std::vector<bool> timer_;
};

// Order 104, scheduled for 22:30 by the web site: three kitchen tickets and the delivery
// ticket, whose items come from the scheduled-order selection.
TEST_F(ScheduledReleaseTest, DueOrderIsPrintedInModeEAndMarkedReleased) {
  EveryOrderDue();
  Release();
  ExpectTicketsMatchGolden(store_, "scheduled_900004");
  EXPECT_EQ(ReleaseFlag("104"), "S");
  EXPECT_EQ(timer_, (std::vector<bool>{false, true}));
}

TEST_F(ScheduledReleaseTest, EveryDueOrderIsPrintedAndMarked) {
  EveryOrderDue();
  store_.Sql(
      "UPDATE COMANDAVEN SET DSCOMANDA = 'ENC_1601', DTHRAGENDADA = '2026-12-06 23:00:00' "
      "WHERE NRVENDAREST = '103';");
  Release();
  const auto tickets = store_.Tickets();
  EXPECT_TRUE(tickets.count("11600E001_001.txt"));
  EXPECT_TRUE(tickets.count("11601E001_001.txt"));
  EXPECT_TRUE(tickets.count("11601P_001.txt"));
  EXPECT_EQ(ReleaseFlag("103"), "S");
  EXPECT_EQ(ReleaseFlag("104"), "S");
  EXPECT_EQ(ReleaseFlag("101"), "N");  // a delivery order is not a scheduled one
}

TEST_F(ScheduledReleaseTest, ReleasedOrderIsNotPrintedAgain) {
  EveryOrderDue();
  Release();
  for (const auto& entry : std::filesystem::directory_iterator(store_.TicketFolder())) {
    std::filesystem::remove(entry.path());
  }
  Release();
  EXPECT_TRUE(store_.Tickets().empty());
}

TEST_F(ScheduledReleaseTest, OrderBeyondTheLeadTimeWaits) {
  store_.Sql(
      "UPDATE COMANDAVEN SET DTHRAGENDADA = '2099-01-01 12:00:00' WHERE "
      "NRVENDAREST = '104';");
  Release();
  EXPECT_TRUE(store_.Tickets().empty());
  EXPECT_EQ(ReleaseFlag("104"), "N");
  EXPECT_EQ(timer_, (std::vector<bool>{false, true}));
}

TEST_F(ScheduledReleaseTest, CancelledScheduledOrderIsNeverPrinted) {
  EveryOrderDue();
  store_.Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = '4' WHERE NRVENDAREST = '104';");
  Release();
  EXPECT_TRUE(store_.Tickets().empty());
}

TEST_F(ScheduledReleaseTest, BadLeadTimeReleasesNothingAndRestartsTheTimer) {
  store_.Sql("UPDATE LOJA SET NRTEMPOPRODUCAO = '3h' WHERE CDLOJA = '001';");
  Release();
  EXPECT_TRUE(store_.Tickets().empty());
  EXPECT_NE(store_.LogText().find("Metodo \"SincronizaENC\": Erro -> "), std::string::npos)
      << store_.LogText();
  EXPECT_EQ(timer_, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace zlv::test
