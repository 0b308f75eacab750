// The upload half of a run and the write-back of the server's answers, against the reference
// central server and the real store database.
#include <gtest/gtest.h>

#include <algorithm>

#include "log_match.h"
#include "sync/status_updates.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

TEST(Upload, PendingSalesGoUpInBatchesOfAHundred) {
  struct Case {
    int sales;
    Lines sending;
  };
  for (const Case& c :
       {Case{100, {"Enviando 100 de 100"}},
        Case{250, {"Enviando 100 de 250", "Enviando 200 de 250", "Enviando 250 de 250"}}}) {
    SCOPED_TRACE(c.sales);
    SyncInstallation s;
    s.InsertPendingSales(c.sales);
    s.Tick();
    const Lines run = s.LastRun();
    EXPECT_EQ(StartingWith(run, "Quantidade a ser enviada ao servidor: "),
              Lines{"Quantidade a ser enviada ao servidor: " + std::to_string(c.sales) + "  (0)"});
    EXPECT_EQ(StartingWith(run, "Enviando "), c.sending);
    EXPECT_EQ(StartingWith(run, "Método \"AtualizaPedidos\""), Lines{});
    EXPECT_EQ(s.CentralCounts().sales_uploaded, c.sales);
    // Each sale went up with its own order tab: a batch carrying another batch's rows would
    // leave the server without the tab's state.
    EXPECT_EQ(s.central()
                  .db()
                  .Query("SELECT COUNT(*) FROM CENTRAL_UPLOAD WHERE IDSTCOMANDA = 'A'", {})
                  .rows[0][0]
                  .AsInteger(),
              c.sales);
    // Every answer was "S" with the server's number, recorded beside the local sale.
    EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), c.sales);
    EXPECT_EQ(StartingWith(run, "Atualiza NRVENDARESTAUX do MSDE - NRVENDAREST: ").size(),
              static_cast<size_t>(c.sales));
  }
}

TEST(Upload, AnswerSThenDTakesTheOrderOutOfTheUpload) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(1);
  s.Tick();
  const std::string local = s.LocalSale(sales[0]);
  ASSERT_NE(local, "");
  EXPECT_EQ(s.CountLogged("Atualiza NRVENDARESTAUX do MSDE - NRVENDAREST: " + local +
                          " - NRVENDARESTAUX: " + sales[0]),
            1);
  const std::string synchronised = "SELECT COUNT(*) FROM COMANDAVEN WHERE NRVENDAREST = '" + local +
                                   "' AND IDSINCRONIZADO = 'S'";
  EXPECT_EQ(s.Count(synchronised), 0);

  s.Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = 'X' WHERE NRVENDAREST = '" + local + "'");
  s.Tick();
  EXPECT_EQ(s.CountLogged("Pedido totalmente sincronizado - NRVENDAREST: " + local), 1);
  EXPECT_EQ(s.Count(synchronised),
            s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE NRVENDAREST = '" + local + "'"));

  s.Tick();
  const Lines run = s.LastRun();
  EXPECT_EQ(StartingWith(run, "Quantidade a ser enviada ao servidor: "),
            Lines{"Quantidade a ser enviada ao servidor: 0  (0)"});
  EXPECT_EQ(StartingWith(run, "Enviando "), Lines{});
}

TEST(Upload, StatusHistoryIsSentOnceAndMarked) {
  SyncInstallation s;
  s.InsertPendingSales(2);
  s.InsertHistoryRow(5001, 1);
  s.InsertHistoryRow(5001, 2);
  s.InsertHistoryRow(5002, 1);
  s.Tick();
  EXPECT_EQ(s.CountLogged("Atualiza NRSEQHISTPED do MSDE - NRVENDAREST: 5001 - P_NRCOMANDA: "
                          "7001 - P_NRSEQHISTPED: 2"),
            1);
  EXPECT_EQ(s.CountLoggedStartingWith("Atualiza NRSEQHISTPED do MSDE"), 3);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM HISTPEDCONS WHERE IDIMPHISTPED = 'S'"), 3);
  EXPECT_EQ(s.CentralCounts().history_rows, 3);

  s.Tick();
  EXPECT_EQ(s.CountLoggedStartingWith("Atualiza NRSEQHISTPED do MSDE"), 3);
}

TEST(Upload, HistoryFailureIsLoggedUnderItsOwnHeading) {
  SyncInstallation s;
  s.InsertPendingSales(1);
  s.InsertHistoryRow(5001, 1);
  s.central().AddMessage("AtualizaHistPedCons", "", "", {"tabela bloqueada", true});
  s.Tick();
  const Lines run = s.LastRun();
  EXPECT_EQ(StartingWith(run, "Metodo \"SincronizaDLV\" - Atualiza HISTPEDCONS: Erro -> ").size(),
            1u);
  EXPECT_EQ(run.back(), "FIM -> SincronizaDLV");
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM HISTPEDCONS WHERE IDIMPHISTPED = 'N'"), 1);
}

TEST(Upload, BatchFailureIsLoggedAndTheNextBatchStillGoes) {
  SyncInstallation s;
  s.InsertPendingSales(150);
  s.central().AddMessage("AtualizaPedidos", kFilial, kLoja, {"lote recusado", true});
  s.Tick();
  const Lines run = s.LastRun();
  EXPECT_EQ(StartingWith(run, "Enviando "), (Lines{"Enviando 100 de 150", "Enviando 150 de 150"}));
  EXPECT_EQ(StartingWith(run, "Método \"AtualizaPedidos\": Erro -> ").size(), 1u);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 50);
}

TEST(Upload, ServerTextAnswerIsLoggedAndChangesNothing) {
  SyncInstallation s;
  s.InsertPendingSales(1);
  s.central().AddMessage("AtualizaPedidos", kFilial, kLoja, {"Loja bloqueada", false});
  s.Tick();
  EXPECT_EQ(s.CountLogged("Retorno KRV.AtualizaPedidos : Loja bloqueada"), 1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 0);
}

TEST(StatusUpdates, RepeatedAndUnknownAnswersChangeOnlyWhatTheyName) {
  SyncInstallation s;
  s.InsertPendingSales(2);
  StatusUpdates status(s.services());
  for (int i = 0; i < 2; ++i) status.AtualizaNrVendaRestAux(kFilial, kLoja, "5001", "900123");
  EXPECT_EQ(s.CountLogged("Atualiza NRVENDARESTAUX do MSDE - NRVENDAREST: 5001 - "
                          "NRVENDARESTAUX: 900123"),
            2);
  EXPECT_EQ(s.Value("SELECT NRVENDARESTAUX FROM VENDAREST WHERE NRVENDAREST = '5001'"), "900123");
  EXPECT_EQ(s.Value("SELECT NRVENDARESTAUX FROM VENDAREST WHERE NRVENDAREST = '5002'"), "");

  status.PedidoSincronizado(kFilial, kLoja, "999999");
  EXPECT_EQ(s.CountLogged("Pedido totalmente sincronizado - NRVENDAREST: 999999"), 1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE IDSINCRONIZADO IS NOT NULL"), 0);
  status.PedidoSincronizado(kFilial, "002", "5001");  // another store's sale of that number
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE IDSINCRONIZADO IS NOT NULL"), 0);
}

}  // namespace
}  // namespace zlv::test
