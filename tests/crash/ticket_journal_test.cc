// The ticket journal (ZLVSINCIMPPEND) in the download run, against the reference central server
// and the demo store: what a process that died between an order's commit and its tickets leaves
// behind, and how the next run mends it. The kills themselves are crash_test.py's.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "log_match.h"
#include "support/temp_dir.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

namespace fs = std::filesystem;

const std::string kJournalLine =
    "Diário de impressão: imprime os tickets pendentes do pedido NRVENDARESTAUX:";

// Ticket name -> text without its time stamps.
std::map<std::string, std::string> Tickets(const fs::path& folder) {
  static const std::regex time_stamp(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
  std::map<std::string, std::string> tickets;
  for (const auto& entry : fs::directory_iterator(folder)) {
    tickets[entry.path().filename().string()] =
        std::regex_replace(ReadFileBytes(entry.path()), time_stamp, "<time>");
  }
  return tickets;
}

// The order tab number of a central order: what its ticket names carry.
std::string OrderNumber(SyncInstallation& s, const std::string& central) {
  return s.Value("SELECT NRCOMANDA FROM COMANDAVEN WHERE NRVENDAREST = '" + s.LocalSale(central) +
                 "'");
}

// What a process that died after committing the order, before its tickets and its
// confirmation, leaves: the journal row, no ticket, the order pending at the server.
void DieBeforeTickets(SyncInstallation& s, const std::string& central) {
  s.Sql(
      "INSERT INTO ZLVSINCIMPPEND (CDFILIAL, NRVENDAREST, CDLOJA, NRVENDARESTAUX) VALUES "
      "('0001', '" +
      s.LocalSale(central) + "', '001', '" + central + "')");
  for (const auto& entry : fs::directory_iterator(s.TicketFolder())) {
    if (entry.path().filename().string().find(OrderNumber(s, central)) != std::string::npos) {
      fs::remove(entry.path());
    }
  }
  s.central().db().Execute(
      "UPDATE CENTRAL_ORDER SET STATE = 'PENDING', DTCONFIRMED = NULL WHERE NRVENDAREST = ?",
      {Variant(central)});
}

int64_t JournalRows(SyncInstallation& s) { return s.Count("SELECT COUNT(*) FROM ZLVSINCIMPPEND"); }

TEST(TicketJournal, OwedTicketsArePrintedAgainBeforeTheDownloadAndTheDuplicateIsConfirmed) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(3);
  s.Tick();
  ASSERT_EQ(s.CentralCounts().orders_confirmed, 3);
  EXPECT_EQ(JournalRows(s), 0) << "printed orders owe nothing";
  const auto printed = Tickets(s.TicketFolder());

  DieBeforeTickets(s, sales[1]);
  const auto survivors = Tickets(s.TicketFolder());
  ASSERT_LT(survivors.size(), printed.size());
  s.Tick();

  const Lines run = s.LastRun();
  const size_t reprint = IndexOf(run, kJournalLine + sales[1]);
  ASSERT_LT(reprint, run.size());
  EXPECT_LT(reprint, IndexOf(run, "BaixaPedidos -> baixa os novos pedidos"));
  EXPECT_EQ(StartingWith(run, kJournalLine).size(), 1u) << "only the order that was owed";
  EXPECT_TRUE(Contains(run, "Pedido duplicado: NRVENDARESTAUX " + sales[1]));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
  EXPECT_EQ(s.CentralCounts().orders_pending, 0);
  EXPECT_EQ(JournalRows(s), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX = '" + sales[1] + "'"), 1);
  // The same files as the first time, word for word; the other orders' files untouched.
  EXPECT_EQ(Tickets(s.TicketFolder()), printed);
}

// The order is in the store: the kitchen's tickets need nothing from the central server.
TEST(TicketJournal, OwedTicketsArePrintedAtTheNextTickWhileTheServerIsUnreachable) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(2);
  s.Tick();
  const auto printed = Tickets(s.TicketFolder());

  DieBeforeTickets(s, sales[0]);
  s.client().Disconnect();
  s.MakeServerUnreachable(true);
  s.Tick();

  EXPECT_EQ(s.CountLogged(kJournalLine + sales[0]), 1);
  EXPECT_EQ(Tickets(s.TicketFolder()), printed);
  EXPECT_EQ(JournalRows(s), 0);
  EXPECT_EQ(s.CountLoggedStartingWith("INICIO -> SincronizaDLV"), 1) << "no run without the server";
}

TEST(TicketJournal, ARegisterThatPrintsNothingOwesNothingAndClearsWhatIsLeft) {
  SyncInstallation s;
  s.Sql("UPDATE CAIXA SET IDIMPPEDDLV = 'N'");
  const std::vector<std::string> sales = s.AddOrders(2);
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_EQ(JournalRows(s), 0);
  EXPECT_TRUE(fs::is_empty(s.TicketFolder()));

  DieBeforeTickets(s, sales[0]);
  s.Tick();
  EXPECT_EQ(JournalRows(s), 0);
  EXPECT_FALSE(ContainsPrefix(s.LastRun(), kJournalLine));
  EXPECT_TRUE(fs::is_empty(s.TicketFolder()));
}

TEST(TicketJournal, AJournalRowThatCannotBeWrittenFailsItsOrderWhichComesAgainLater) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(2);
  s.db().FailExecutes("INSERT INTO ZLVSINCIMPPEND", "disco cheio");
  s.Tick();
  Lines run = s.LastRun();
  EXPECT_TRUE(Contains(run, "Rollback do pedido NRVENDARESTAUX:" + sales[0]));
  EXPECT_TRUE(Contains(run, "ERRO: disco cheio"));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 2);
  EXPECT_EQ(s.CentralCounts().orders_pending, 2) << "nothing the store lacks is confirmed";
  EXPECT_TRUE(fs::is_empty(s.TicketFolder()));

  s.db().ClearFaults();
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_FALSE(fs::is_empty(s.TicketFolder()));
}

const std::string kNoJournalLine = "Tabela ZLVSINCIMPPEND não encontrada no banco da loja";

// A store installed before the journal, whose upgrade script has not run yet: the program does
// not make the table itself; orders and tickets come as before, and the log says once what to
// run. Once the script has run, the journal is on without a restart.
TEST(TicketJournal, AStoreWithoutTheTableGetsItsOrdersAndTicketsAndIsToldOnceToRunTheScript) {
  SyncInstallation s;
  s.Sql("DROP TABLE ZLVSINCIMPPEND");
  s.AddOrders(1);
  s.Tick();
  s.AddOrders(1);
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2) << "the journal off, orders still come";
  EXPECT_FALSE(fs::is_empty(s.TicketFolder()));
  EXPECT_EQ(s.CountLoggedStartingWith(kNoJournalLine), 1);
  EXPECT_EQ(s.CountLoggedStartingWith("Método \"ImprimePendentes\""), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ZLVSINCIMPPEND'"), 0)
      << "no table made at run time";

  s.Sql(ReadFileBytes(fs::path(ZLV_SOURCE_DIR) / "db" / "upgrade.sqlite.sql"));
  const std::string central = s.AddOrders(1).at(0);
  s.db().FailExecutes("DELETE FROM ZLVSINCIMPPEND", "banco bloqueado");
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
  EXPECT_EQ(JournalRows(s), 1) << "the journal is on: the order's row was written";
  EXPECT_EQ(s.CountLoggedStartingWith(kNoJournalLine), 1);
}

}  // namespace
}  // namespace zlv::test
