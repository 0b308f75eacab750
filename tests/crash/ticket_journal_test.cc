// The ticket journal (ZLVSINCIMPPEND) in the download run, against the reference central server
// and the demo store: what a process that died between an order's commit and its tickets leaves
// behind, and how the next run mends it. The kills themselves are crash_test.py's.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "log_match.h"
#include "storedb/catalogue.h"
#include "storedb/sqlite_database.h"
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

TEST(TicketJournal, AStoreWithoutTheTableGetsItAndOneThatCannotMakeItStillGetsItsOrders) {
  SyncInstallation s;
  s.Sql("DROP TABLE ZLVSINCIMPPEND");
  s.db().FailExecutes("CREATE TABLE IF NOT EXISTS ZLVSINCIMPPEND", "permissão negada");
  s.AddOrders(1);
  s.Tick();
  EXPECT_TRUE(Contains(s.LastRun(), "Método \"ImprimePendentes\": Erro -> permissão negada"));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1) << "the journal off, orders still come";
  EXPECT_FALSE(fs::is_empty(s.TicketFolder()));

  s.db().ClearFaults();
  s.AddOrders(1);
  s.Tick();
  EXPECT_FALSE(ContainsPrefix(s.LastRun(), "Método \"ImprimePendentes\""));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_EQ(JournalRows(s), 0);
}

// A store set up before the journal gets the table the schema file makes for new ones.
TEST(TicketJournal, TheTableMadeAtRunTimeIsTheSchemasTable) {
  TempDir dir("zlv_journal");
  auto table = [](SqliteDatabase& db) {
    return db
        .Query(
            "SELECT name, type, \"notnull\", dflt_value, pk FROM "
            "pragma_table_info('ZLVSINCIMPPEND')",
            {})
        .rows;
  };
  SqliteDatabase made((dir.path() / "made.db").string());
  made.Execute(std::string(FindStatement("acmCriaZlvSincImpPend").sqlite_text), {}, 0);
  SqliteDatabase schema((dir.path() / "schema.db").string());
  schema.Execute(ReadFileBytes(fs::path(ZLV_SOURCE_DIR) / "db" / "schema.sqlite.sql"), {}, 0);
  const auto expected = table(schema);
  ASSERT_EQ(expected.size(), 5u);
  EXPECT_EQ(table(made), expected);
}

}  // namespace
}  // namespace zlv::test
