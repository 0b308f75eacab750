// The store database failing under a synchronisation run: locked by another program past the
// busy time-out, a statement failing in the middle of an order, a table missing. Whatever
// fails, an order is either in the store, printed and confirmed to the central server, or
// not in the store at all and still pending at the server for the next run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database/sqlite_database.h"
#include "log_match.h"
#include "sync_fixture.h"
#include "ticket_watch.h"

namespace zlv::test {
namespace {

// Another program of the store writing to the same database file: while it holds its write
// transaction, the synchroniser's writes wait for the busy time-out and then fail.
class OtherWriter {
 public:
  explicit OtherWriter(Database& store)
      : db_(OpenDatabase(
            std::string("sqlite:") +
            sqlite3_db_filename(dynamic_cast<SqliteDatabase&>(store).handle(), "main"))) {}
  void Lock() { db_->Begin(); }
  void Unlock() { db_->Rollback(); }
  bool locked() const { return db_->InTransaction(); }

 private:
  std::unique_ptr<Database> db_;
};

// The store's numbers of the orders tickets were written for (the order number is the
// order tab's number without "DLV_").
std::set<std::string> PrintedOrderTabs(const std::vector<std::string>& tickets) {
  std::set<std::string> tabs;
  for (const std::string& name : tickets) {
    // <printer digit><order tab number><kind>...: the kinds start with a letter.
    const size_t end = name.find_first_not_of("0123456789", 1);
    tabs.insert(name.substr(1, end - 1));
  }
  return tabs;
}

class StoreFaultTest : public ::testing::Test {
 protected:
  StoreFaultTest() {
    // The real five seconds would only slow the test: past the limit, the fault is the same.
    s.Sql("PRAGMA busy_timeout = 200");
  }

  std::string LocalTab(const std::string& central_sale) {
    return s.Value(
        "SELECT substr(CV.DSCOMANDA, 5) FROM COMANDAVEN CV JOIN VENDAREST VR ON "
        "VR.CDFILIAL = CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST WHERE "
        "VR.NRVENDARESTAUX = '" +
        central_sale + "'");
  }

  // Everything a committed order leaves behind: its rows, its tickets (seen by `watch`) and
  // the server's record that the store has it.
  void ExpectCommittedPrintedAndConfirmed(const std::vector<std::string>& sales,
                                          const std::set<std::string>& printed) {
    for (const std::string& sale : sales) {
      const std::string tab = LocalTab(sale);
      ASSERT_FALSE(tab.empty()) << "order " << sale << " not in the store";
      EXPECT_TRUE(printed.count(tab)) << "order " << sale << " committed but not printed";
    }
  }

  SyncInstallation s;
};

TEST_F(StoreFaultTest, DatabaseLockedByAnotherWriterLeavesEveryOrderAtTheServer) {
  const std::vector<std::string> sales = s.AddOrders(3);
  OtherWriter other(s.db().real());
  other.Lock();
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  const Lines run = s.LastRun();
  EXPECT_TRUE(Contains(run, "Método \"BaixaPedidos\": Erro -> database is locked"));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);
  EXPECT_TRUE(watch.Take().empty());
  EXPECT_EQ(s.CentralCounts().orders_pending, 3);
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 0);
  EXPECT_FALSE(s.db().InTransaction());

  other.Unlock();
  s.Tick();
  ExpectCommittedPrintedAndConfirmed(sales, PrintedOrderTabs(watch.Take()));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
}

// The lock is taken while the run is between two orders: the order committed before it must
// still be printed and confirmed, not held back until a later run finds it a duplicate and
// confirms it without a ticket.
TEST_F(StoreFaultTest, LockTakenBetweenTwoOrdersStillPrintsAndConfirmsTheCommittedOne) {
  const std::vector<std::string> sales = s.AddOrders(3);
  OtherWriter other(s.db().real());
  s.db().BeforeBegin([&] {
    if (!other.locked() && s.Count("SELECT COUNT(*) FROM VENDAREST") == 1) other.Lock();
  });
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  const Lines run = s.LastRun();
  const size_t refused = IndexOf(run, "NRVENDARESTAUX:" + sales[1]);
  ASSERT_LT(refused + 1, run.size());
  EXPECT_EQ(run[refused + 1], "ERRO: database is locked");
  EXPECT_FALSE(ContainsPrefix(run, "Método \"BaixaPedidos\": Erro -> "));
  ASSERT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 1);
  ExpectCommittedPrintedAndConfirmed({sales[0]}, PrintedOrderTabs(watch.Take()));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
  EXPECT_EQ(s.CentralCounts().orders_pending, 2);

  s.db().ClearFaults();
  other.Unlock();
  s.Tick();
  const std::set<std::string> printed = PrintedOrderTabs(watch.Take());
  ExpectCommittedPrintedAndConfirmed({sales[1], sales[2]}, printed);
  EXPECT_FALSE(printed.count(LocalTab(sales[0]))) << "order printed twice";
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
}

TEST_F(StoreFaultTest, StatementFailingInTheMiddleOfAnOrderKeepsOnlyThatOrderAtTheServer) {
  const std::vector<std::string> sales = s.AddOrders(3);
  // The payments come after the sale, its order tabs and items.
  s.Sql(
      "CREATE TRIGGER FALHA_PAGAMENTO BEFORE INSERT ON MOVCAIXADLV WHEN (SELECT NRVENDARESTAUX "
      "FROM VENDAREST WHERE CDFILIAL = NEW.CDFILIAL AND NRVENDAREST = NEW.NRVENDAREST) = '" +
      sales[1] + "' BEGIN SELECT RAISE(ABORT, 'falha no pagamento'); END");
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  const Lines run = s.LastRun();
  EXPECT_TRUE(Contains(run, "Rollback do pedido NRVENDARESTAUX:" + sales[1]));
  EXPECT_TRUE(ContainsPrefix(run, "ERRO: falha no pagamento"));
  EXPECT_EQ(LocalTab(sales[1]), "");
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN IT JOIN VENDAREST VR ON VR.CDFILIAL = "
                    "IT.CDFILIAL AND VR.NRVENDAREST = IT.NRVENDAREST WHERE VR.NRVENDARESTAUX = '" +
                    sales[1] + "'"),
            0);
  EXPECT_EQ(s.Value("SELECT NRVENDARESTAUX FROM LOGSINCDLV"), sales[1]);
  ExpectCommittedPrintedAndConfirmed({sales[0], sales[2]}, PrintedOrderTabs(watch.Take()));
  EXPECT_EQ(s.CentralCounts().orders_pending, 1);

  s.Sql("DROP TRIGGER FALHA_PAGAMENTO");
  s.Tick();
  ExpectCommittedPrintedAndConfirmed({sales[1]}, PrintedOrderTabs(watch.Take()));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 0);
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
}

TEST_F(StoreFaultTest, MissingTableFailsEveryOrderAndNothingIsConfirmed) {
  const std::vector<std::string> sales = s.AddOrders(2);
  s.Sql("ALTER TABLE MOVCAIXADLV RENAME TO MOVCAIXADLV_FORA");
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  const Lines run = s.LastRun();
  for (const std::string& sale : sales) {
    EXPECT_TRUE(Contains(run, "Rollback do pedido NRVENDARESTAUX:" + sale));
  }
  EXPECT_TRUE(ContainsPrefix(run, "ERRO: no such table: MOVCAIXADLV"));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);
  EXPECT_TRUE(watch.Take().empty());
  EXPECT_EQ(s.CentralCounts().orders_pending, 2);
  EXPECT_FALSE(Contains(run, "Atualiza status para sincronizado"));

  s.Sql("ALTER TABLE MOVCAIXADLV_FORA RENAME TO MOVCAIXADLV");
  s.Tick();
  ExpectCommittedPrintedAndConfirmed(sales, PrintedOrderTabs(watch.Take()));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
}

}  // namespace
}  // namespace zlv::test
