// InserePedido on a real store database (the demo store): what each order leaves in the
// database, in cdsVendaRest and in the log.
#include "store/order_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "download_builder.h"
#include "store_fixture.h"
#include "support/fake_central_calls.h"

namespace zlv {
namespace {

using test::Cells;
using test::kFilial;
using test::kLoja;
using test::With;

const DateTime kOpening = DateTime::FromCivil(2024, 3, 15, 19, 12, 0);

Cells Order(const std::string& nr) { return test::DeliveryOrder(nr, kOpening); }

Cells Tab(const std::string& order, const std::string& tab) {
  return {{"CDFILIAL", kFilial},
          {"NRVENDAREST", order},
          {"NRCOMANDA", tab},
          {"IDSTCOMANDA", "P"},
          {"CDLOJA", kLoja},
          {"CDPAIS", "1058"},
          {"SGESTADO", "SP"},
          {"CDMUNICIPIO", "3550308"},
          {"CDBAIRRO", "0001"},
          {"DSENDECONSCOMAN", "RUA AUGUSTA"},
          {"NRENDECONSCOMAN", "120"},
          {"NRCEPCONSCOMAND", "01305000"},
          {"VRACRCOMANDA", 6.5},
          {"IDORGCMDVENDA", "DLV_IFO"},
          {"NRCOMANDAEXT", "EXT-" + tab},
          {"IDIMPCUPEXP", "1"},
          {"DSEMAILENVCUPOM", ""}};
}

Cells Item(const std::string& order, const std::string& tab, const std::string& item,
           const std::string& product) {
  return {{"CDFILIAL", kFilial},   {"NRVENDAREST", order}, {"NRCOMANDA", tab},
          {"NRPRODCOMVEN", item},  {"CDPRODUTO", product}, {"QTPRODCOMVEN", 1.0},
          {"VRPRECCOMVEN", 25.9},  {"IDSTPRCOMVEN", "1"},  {"VRDESCCOMVEN", 0.0},
          {"VRACRCOMVEN", 0.0},    {"NRSEQPRODCOM", item}, {"CDVENDEDOR", "9999"},
          {"CDLOJA", kLoja},       {"IDPRODIMPFIS", "N"},  {"CDSENHAPED", ""},
          {"IDORIGEMVENDA", "DLV"}};
}

// The rows below an item: observations, compositions and their observations, points.
Cells BelowItem(const std::string& order, const std::string& tab, const std::string& item) {
  return {
      {"CDFILIAL", kFilial}, {"NRVENDAREST", order}, {"NRCOMANDA", tab}, {"NRPRODCOMVEN", item}};
}

Cells Payment(const std::string& order, const std::string& seq, const std::string& type,
              double value) {
  return test::DeliveryPayment(order, seq, type, value);
}

class OrderWriterTest : public ::testing::Test {
 protected:
  // An order of one order tab with one burger, paid in cash.
  void AddSimpleOrder(const std::string& nr, const Cells& order_changes = {}) {
    download.vendas.Add(With(Order(nr), order_changes));
    download.comandas.Add(Tab(nr, nr + "1"));
    download.itens.Add(Item(nr, nr + "1", "1", "10001"));
    download.pagamentos.Add(Payment(nr, "1", "001", 25.9));
  }

  void Run() {
    download.LoadInto(sets);
    InserePedido(store.services(), central, sets);
  }

  // A second download into fresh datasets.
  void RunAgain() {
    sets = DownloadSets();
    Run();
  }

  std::vector<std::string> RemainingOrders() {
    std::vector<std::string> orders;
    for (const auto& row : sets.cdsVendaRest.Packet().rows) {
      orders.push_back(row[sets.cdsVendaRest.Packet().FieldIndex("NRVENDAREST")].AsText());
    }
    return orders;
  }

  int64_t SalesOf(const std::string& central_nr) {
    return store.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX = ?", {central_nr});
  }
  std::string LocalSale(const std::string& central_nr) {
    return store.Value("SELECT NRVENDAREST FROM VENDAREST WHERE NRVENDARESTAUX = ?", {central_nr})
        .value_or("");
  }
  bool LoggedStartingWith(const std::string& prefix) {
    const auto lines = store.LogLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.starts_with(prefix); });
  }
  // The log from the first line equal to `from` on, for checking the order of lines.
  std::vector<std::string> LogFrom(const std::string& from) {
    auto lines = store.LogLines();
    auto start = std::find(lines.begin(), lines.end(), from);
    return std::vector<std::string>(start, lines.end());
  }

  test::StoreFixture store;
  FakeCentralCalls central;
  DownloadSets sets;
  test::OrderDownload download;
};

TEST_F(OrderWriterTest, WritesAWholeOrderUnderNewLocalNumbers) {
  const std::string nr = "500001";
  download.vendas.Add(Order(nr));
  // Tab A: a combo with its compositions, points and a composition observation, then fries
  // with an observation; the first item brings the call code.
  download.comandas.Add(With(Tab(nr, "700001"), {{"IDORGCMDVENDA", "  "},
                                                 {"DTHRAGENDADA", DateTime()},
                                                 {"DSEMAILENVCUPOM", "ana@example.com"}}));
  download.itens.Add(
      With(Item(nr, "700001", "1", "20001"), {{"CDSENHAPED", "0042"}, {"VRPRECCOMVEN", 39.9}}));
  download.composicoes.Add(With(BelowItem(nr, "700001", "1"), {{"CDPRODUTO", "10001"},
                                                               {"QTPROCOMEST", 1.0},
                                                               {"VRPRECCOMEST", 29.9},
                                                               {"VRDESITCOMEST", 0.0}}));
  download.composicoes.Add(With(BelowItem(nr, "700001", "1"), {{"CDPRODUTO", "10004"},
                                                               {"QTPROCOMEST", 1.0},
                                                               {"VRPRECCOMEST", 10.0},
                                                               {"VRDESITCOMEST", 0.0}}));
  download.obs_composicoes.Add(With(
      BelowItem(nr, "700001", "1"),
      {{"CDPRODUTO", "10001"}, {"CDGRPOCOR", "01"}, {"CDOCORR", "001"}, {"QTPRODCOMVENOBS", 1.0}}));
  download.pontos.Add(With(
      BelowItem(nr, "700001", "1"),
      {{"CDCAMPANHA", "FID1"}, {"IDTPMOVCONS", "C"}, {"VRPONTOBRINDE", 10.0}, {"CDLOJA", kLoja}}));
  download.itens.Add(
      With(Item(nr, "700001", "2", "10003"), {{"CDSENHAPED", "0099"}, {"QTPRODCOMVEN", 2.0}}));
  download.obs_itens.Add(With(BelowItem(nr, "700001", "2"),
                              {{"CDGRPOCOR", "02"}, {"CDOCORR", "001"}, {"QTPRODCOMVENOBS", 2.0}}));
  // Tab B: a scheduled drink without a call code of its own.
  const DateTime scheduled = DateTime::FromCivil(2024, 3, 15, 21, 0, 0);
  download.comandas.Add(With(Tab(nr, "700002"), {{"DTHRAGENDADA", scheduled}}));
  download.itens.Add(Item(nr, "700002", "1", "10004"));
  download.pagamentos.Add(Payment(nr, "1", "001", 50.0));
  download.pagamentos.Add(With(Payment(nr, "2", "005", 30.0),
                               {{"DTHRACESSOCAT", DateTime::FromCivil(2024, 3, 15, 19, 10)}}));

  Run();

  EXPECT_EQ(RemainingOrders(), std::vector<std::string>{nr});
  EXPECT_TRUE(store.Logged("Commit do pedido NRVENDARESTAUX:" + nr));
  EXPECT_FALSE(store.db().InTransaction());
  ASSERT_EQ(SalesOf(nr), 1);
  const std::string sale = LocalSale(nr);
  EXPECT_NE(sale, nr);
  EXPECT_EQ(store.Value("SELECT DTHRABERMESA || '|' || CDOPERADOR || '|' || CDVENDEDOR "
                        "FROM VENDAREST WHERE NRVENDAREST = ?",
                        {sale}),
            "2024-03-15 19:12:00|0001|9999");

  // Order tabs: new numbers, "P" written as "3", empty origin as DLV_ZLV, zero schedule NULL.
  const DataPacket tabs = store.Rows(
      "SELECT NRCOMANDA, DSCOMANDA, IDSTCOMANDA, IDORGCMDVENDA, DTHRAGENDADA, IDSITENVCUPOM, "
      "NRREQEXTCMD, VRACRCOMANDA, VRDESCOMANDA, VRPONTOBRINDE FROM COMANDAVEN "
      "WHERE NRVENDAREST = ? ORDER BY NRCOMANDAEXT",
      {sale});
  ASSERT_EQ(tabs.rows.size(), 2u);
  const auto& a = tabs.rows[0];
  const auto& b = tabs.rows[1];
  EXPECT_NE(a[0].AsText(), "700001");
  EXPECT_EQ(a[1].AsText(), "DLV_" + a[0].AsText());
  EXPECT_EQ(b[1].AsText(), "DLV_" + b[0].AsText());
  EXPECT_EQ(a[2].AsText(), "3");
  EXPECT_EQ(a[3].AsText(), "DLV_ZLV");
  EXPECT_EQ(b[3].AsText(), "DLV_IFO");
  EXPECT_TRUE(a[4].IsNull());
  EXPECT_EQ(b[4].AsDateTime(), scheduled);
  EXPECT_EQ(a[5].AsText(), "A");
  EXPECT_EQ(b[5].AsText(), "U");
  EXPECT_FALSE(a[6].AsText().empty());
  EXPECT_NE(a[6].AsText(), b[6].AsText());
  EXPECT_DOUBLE_EQ(a[7].AsFloat(), 6.5);
  EXPECT_DOUBLE_EQ(a[8].AsFloat(), 0.0);
  EXPECT_TRUE(a[9].IsNull());

  // Items: one call code and one product sequence number per order tab.
  const DataPacket items = store.Rows(
      "SELECT IT.NRCOMANDA, IT.NRPRODCOMVEN, IT.CDPRODUTO, IT.CDSENHAPED, IT.NRSEQPRODCUP, "
      "IT.QTPRODCOMVEN, IT.VRPRECCOMVEN FROM ITCOMANDAVEN IT JOIN COMANDAVEN CV ON "
      "CV.CDFILIAL = IT.CDFILIAL AND CV.NRCOMANDA = IT.NRCOMANDA WHERE IT.NRVENDAREST = ? "
      "ORDER BY CV.NRCOMANDAEXT, IT.CDPRODUTO",
      {sale});
  ASSERT_EQ(items.rows.size(), 3u);
  const std::string combo_item = items.rows[1][1].AsText();
  EXPECT_EQ(items.rows[0][2].AsText(), "10003");
  EXPECT_EQ(items.rows[1][2].AsText(), "20001");
  EXPECT_EQ(items.rows[0][3].AsText(), "0042");
  EXPECT_EQ(items.rows[1][3].AsText(), "0042");
  EXPECT_FALSE(items.rows[2][3].AsText().empty());
  EXPECT_NE(items.rows[2][3].AsText(), "0042");
  EXPECT_EQ(items.rows[0][4], items.rows[1][4]);
  EXPECT_NE(items.rows[0][4], items.rows[2][4]);
  EXPECT_NE(items.rows[0][1], items.rows[1][1]);
  EXPECT_DOUBLE_EQ(items.rows[0][5].AsFloat(), 2.0);
  EXPECT_DOUBLE_EQ(items.rows[1][6].AsFloat(), 39.9);

  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM ITCOMANDAEST WHERE NRVENDAREST = ? AND "
                        "NRPRODCOMVEN = ?",
                        {sale, combo_item}),
            2);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM OBSITCOMANDAEST WHERE NRVENDAREST = ? AND "
                        "NRPRODCOMVEN = ? AND CDPRODUTO = '10001'",
                        {sale, combo_item}),
            1);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM OBSITCOMANDAVEN WHERE NRVENDAREST = ? AND "
                        "CDGRPOCOR = '02' AND QTPRODCOMVENOBS = 2",
                        {sale}),
            1);
  EXPECT_EQ(store.Value("SELECT DTULTATU FROM MOVPONTOCONSAUX WHERE NRVENDAREST = ? AND "
                        "NRPRODCOMVEN = ?",
                        {sale, combo_item}),
            "2024-03-15 19:30:05");
  // Payments: an empty access time is the zero date-time.
  EXPECT_EQ(store.Value("SELECT DTHRACESSOCAT FROM MOVCAIXADLV WHERE NRVENDAREST = ? AND "
                        "CDTIPORECE = '001'",
                        {sale}),
            "1899-12-30 00:00:00");
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM MOVCAIXADLV WHERE NRVENDAREST = ?", {sale}), 2);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 0);
}

TEST_F(OrderWriterTest, CancelledOrderTabGetsCancelledItemsAndAutomaticReceiptsAreMarked) {
  store.globals().gIDIMPAUTCUPZLV = "S";
  download.vendas.Add(Order("500002"));
  download.comandas.Add(With(Tab("500002", "1"), {{"IDSTCOMANDA", "4"}}));
  download.itens.Add(With(Item("500002", "1", "1", "10001"), {{"IDSTPRCOMVEN", "1"}}));
  download.comandas.Add(With(Tab("500002", "2"), {{"IDSTCOMANDA", "5"}}));
  download.itens.Add(With(Item("500002", "2", "1", "10002"), {{"IDSTPRCOMVEN", "2"}}));

  Run();

  const DataPacket rows = store.Rows(
      "SELECT CV.IDSTCOMANDA, IT.IDSTPRCOMVEN, CV.IDIMPCUPEXP FROM COMANDAVEN CV, ITCOMANDAVEN IT "
      "WHERE IT.NRVENDAREST = CV.NRVENDAREST AND IT.NRCOMANDA = CV.NRCOMANDA "
      "ORDER BY IT.CDPRODUTO");
  ASSERT_EQ(rows.rows.size(), 2u);
  EXPECT_EQ(rows.rows[0][0].AsText(), "4");
  EXPECT_EQ(rows.rows[0][1].AsText(), "6");
  EXPECT_EQ(rows.rows[1][0].AsText(), "5");
  EXPECT_EQ(rows.rows[1][1].AsText(), "2");
  EXPECT_EQ(rows.rows[0][2].AsText(), "2");
  EXPECT_EQ(rows.rows[1][2].AsText(), "2");
}

TEST_F(OrderWriterTest, OrderTabNumberTakenMeanwhileIsSkipped) {
  AddSimpleOrder("500003");
  Run();
  const std::string first = store.Value("SELECT NRCOMANDA FROM COMANDAVEN").value_or("");
  ASSERT_FALSE(first.empty());
  // A tab opened at the cash register takes the number the next order would get.
  auto number = [&](int64_t n) {
    std::string digits = std::to_string(n);
    return std::string(first.size() - digits.size(), '0') + digits;
  };
  const int64_t last = std::stoll(first);
  store.db().Execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA) "
      "VALUES (?, 'BALCAO', ?, 'MESA 1')",
      {kFilial, number(last + 1)});

  download = test::OrderDownload();
  AddSimpleOrder("500004");
  RunAgain();

  EXPECT_EQ(store.Value("SELECT NRCOMANDA || '|' || DSCOMANDA FROM COMANDAVEN WHERE "
                        "NRVENDAREST = ?",
                        {LocalSale("500004")}),
            number(last + 2) + "|DLV_" + number(last + 2));
}

TEST_F(OrderWriterTest, OneFailingItemRollsTheWholeOrderBackAndRecordsIt) {
  const std::string nr = "500010";
  central.SetProblems("99999", {{"99999", "PRODUTO SEM CADASTRO NA FILIAL"}});
  download.vendas.Add(Order(nr));
  download.comandas.Add(Tab(nr, "1"));
  download.itens.Add(Item(nr, "1", "1", "10001"));
  download.itens.Add(Item(nr, "1", "2", "99999"));
  // The failed item's observation is not attempted (its unknown group would fail too).
  download.obs_itens.Add(With(BelowItem(nr, "1", "2"), {{"CDGRPOCOR", "77"}, {"CDOCORR", "7"}}));
  download.itens.Add(Item(nr, "1", "3", "10003"));
  download.pagamentos.Add(Payment(nr, "1", "001", 60.0));

  Run();

  EXPECT_TRUE(RemainingOrders().empty());
  EXPECT_EQ(SalesOf(nr), 0);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM COMANDAVEN"), 0);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM ITCOMANDAVEN"), 0);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM MOVCAIXADLV"), 0);
  EXPECT_FALSE(store.db().InTransaction());

  const DataPacket failure = store.Rows(
      "SELECT CDFILIAL, CDLOJA, NRVENDARESTAUX, DTHRABERMESA, DSLOG, DSLOGMSG FROM LOGSINCDLV");
  ASSERT_EQ(failure.rows.size(), 1u);
  EXPECT_EQ(failure.rows[0][2].AsText(), nr);
  EXPECT_EQ(failure.rows[0][3].AsDateTime(), kOpening);
  const std::string dslog = failure.rows[0][4].AsText();
  EXPECT_NE(dslog.find("tabela \"MORVANE.PRODUTO\""), std::string::npos) << dslog;
  EXPECT_TRUE(dslog.ends_with(";;")) << dslog;
  EXPECT_EQ(failure.rows[0][5].AsText(), "99999 PRODUTO SEM CADASTRO NA FILIAL ; ");

  const auto lines = LogFrom("ITCOMANDAVEN: 99999 NRVENDARESTAUX:" + nr);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_TRUE(lines[1].starts_with("ERRO: ")) << lines[1];
  EXPECT_EQ(lines[2], "Rollback do pedido NRVENDARESTAUX:" + nr);
  EXPECT_EQ(lines[3], "getMsgValidaProd - 99999 PRODUTO SEM CADASTRO NA FILIAL ; ");
  EXPECT_EQ(lines[4], "acmInsLogSincDlv");
  EXPECT_FALSE(LoggedStartingWith("OBSITCOMANDAVEN:"));
  // The diagnosis asked about the product of this order.
  const auto asked = std::find_if(central.valida_calls.begin(), central.valida_calls.end(),
                                  [&](const auto& call) { return call.nrvendarest == nr; });
  ASSERT_NE(asked, central.valida_calls.end());
  EXPECT_EQ(asked->cdproduto, "99999");
}

TEST_F(OrderWriterTest, UnknownOperatorIsNamedAndACommitLaterClearsTheRecord) {
  AddSimpleOrder("500020", {{"CDOPERADOR", "0077"}});

  Run();

  EXPECT_TRUE(store.Logged("NRVENDARESTAUX:500020"));
  EXPECT_EQ(store.Value("SELECT DSLOGMSG FROM LOGSINCDLV WHERE NRVENDARESTAUX = '500020'"),
            "O OPERADOR 0077 NAO FOI BAIXADO PARA O CAIXA ; ");
  // Nothing after the sale row was attempted.
  EXPECT_FALSE(LoggedStartingWith("ITCOMANDAVEN:"));

  store.db().Execute("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('0077', 'NOVO')", {});
  RunAgain();

  EXPECT_EQ(SalesOf("500020"), 1);
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 0);
}

TEST_F(OrderWriterTest, ProductRefusedByTheCentralServerFailsTheOrder) {
  central.SetProblems("10002", {{"01.01.002", "NCM INVALIDO"}});
  AddSimpleOrder("500025");
  download.itens.Add(Item("500025", "5000251", "2", "10002"));

  Run();

  EXPECT_EQ(SalesOf("500025"), 0);
  const auto lines = LogFrom("produto impede baixa:01.01.002");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "ITCOMANDAVEN: 10002 NRVENDARESTAUX:500025");
  EXPECT_EQ(lines[3], "ERRO: Produto 10002 falta cadastro.");
  EXPECT_EQ(store.Value("SELECT DSLOG || '|' || DSLOGMSG FROM LOGSINCDLV"),
            "Produto 10002 falta cadastro.;;|NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PEDIDO ; ");
}

TEST_F(OrderWriterTest, BranchThatTakesIncompleteOrdersSkipsTheRemoteCheck) {
  store.db().Execute("UPDATE PARAVEND SET IDBAIXAPEDCOMP = 'S'", {});
  central.SetProblems("10001", {{"01.01.001", "NCM INVALIDO"}});
  AddSimpleOrder("500026");

  Run();

  EXPECT_EQ(SalesOf("500026"), 1);
  EXPECT_TRUE(central.valida_calls.empty());
}

TEST_F(OrderWriterTest, DuplicateFoundBeforeInsertionIsReportedAndNotWrittenAgain) {
  AddSimpleOrder("500030");
  Run();
  ASSERT_EQ(SalesOf("500030"), 1);

  // The server sends it again, behind a new order.
  download = test::OrderDownload();
  AddSimpleOrder("500031");
  AddSimpleOrder("500030");
  RunAgain();

  EXPECT_EQ(SalesOf("500030"), 1);
  EXPECT_EQ(SalesOf("500031"), 1);
  EXPECT_EQ(RemainingOrders(), std::vector<std::string>{"500031"});
  EXPECT_TRUE(store.Logged("Pedido duplicado: NRVENDARESTAUX 500030"));
  EXPECT_TRUE(store.Logged("Atualiza status do pedido 500030 para sincronizado"));
  ASSERT_EQ(central.update_calls.size(), 1u);
  const DataPacket& reported = central.update_calls[0].pedidos;
  ASSERT_EQ(reported.rows.size(), 1u);
  EXPECT_EQ(reported.rows[0][reported.FieldIndex("NRVENDAREST")].AsText(), "500030");
  // The duplicate was the last order: no transaction is left for the caller to stumble on.
  EXPECT_FALSE(store.db().InTransaction());
}

TEST_F(OrderWriterTest, DuplicateReportThatFailsStillDropsTheOrder) {
  AddSimpleOrder("500032");
  Run();
  central.FailUpdateSincronismo("Desconectado do servidor.");

  RunAgain();

  EXPECT_TRUE(store.Logged("Erro: UpdateSincronismo duplicado -> Desconectado do servidor."));
  EXPECT_TRUE(RemainingOrders().empty());
  EXPECT_EQ(SalesOf("500032"), 1);
}

TEST_F(OrderWriterTest, SecondCopyFoundAtTheEndIsRolledBack) {
  AddSimpleOrder("500040");
  Run();
  ASSERT_EQ(SalesOf("500040"), 1);

  // The same central number on the same day, for another consumer: it passes the first check.
  download = test::OrderDownload();
  AddSimpleOrder("500040", {{"CDCONSUMIDOR", "000002"}});
  RunAgain();

  EXPECT_TRUE(store.Logged("Pedido duplicado validação no final: NRVENDARESTAUX 500040"));
  EXPECT_EQ(LogFrom("Pedido duplicado validação no final: NRVENDARESTAUX 500040").at(1),
            "Rollback do pedido NRVENDARESTAUX:500040");
  EXPECT_EQ(SalesOf("500040"), 1);
  EXPECT_EQ(store.Value("SELECT CDCONSUMIDOR FROM VENDAREST WHERE NRVENDARESTAUX = '500040'"),
            "000001");
  EXPECT_TRUE(RemainingOrders().empty());
  EXPECT_EQ(central.update_calls.size(), 1u);
  EXPECT_FALSE(store.db().InTransaction());

  // Its confirmation lost, it comes again: still one failure row for the staff.
  central.FailUpdateSincronismo("Desconectado do servidor.");
  RunAgain();
  EXPECT_EQ(store.Count("SELECT COUNT(*) FROM LOGSINCDLV WHERE NRVENDARESTAUX = '500040'"), 1);
  EXPECT_EQ(SalesOf("500040"), 1);
}

TEST_F(OrderWriterTest, FailedMiddleOrderLeavesTheOthersCommittedAndListed) {
  AddSimpleOrder("500051");
  AddSimpleOrder("500052", {{"CDVENDEDOR", "0555"}});
  AddSimpleOrder("500053");

  Run();

  EXPECT_TRUE(
      store.Logged("Metodo -> \"InserePedido\" - 3 pedidos a serem inseridos na base MSDE"));
  EXPECT_EQ(RemainingOrders(), (std::vector<std::string>{"500051", "500053"}));
  EXPECT_TRUE(sets.cdsVendaRest.Eof());
  EXPECT_EQ(SalesOf("500051"), 1);
  EXPECT_EQ(SalesOf("500052"), 0);
  EXPECT_EQ(SalesOf("500053"), 1);
  EXPECT_EQ(store.Value("SELECT NRVENDARESTAUX || '|' || DSLOGMSG FROM LOGSINCDLV"),
            "500052|O VENDEDOR 0555 NAO FOI BAIXADO PARA O CAIXA ; ");
  EXPECT_TRUE(store.Logged("Commit do pedido NRVENDARESTAUX:500051"));
  EXPECT_TRUE(store.Logged("Rollback do pedido NRVENDARESTAUX:500052"));
  EXPECT_TRUE(store.Logged("Commit do pedido NRVENDARESTAUX:500053"));
  EXPECT_NE(LocalSale("500051"), LocalSale("500053"));
}

TEST_F(OrderWriterTest, FailureRowKeepsAt254And499Characters) {
  const std::string long_message(600, 'X');
  central.SetProblems("88888", {{"88888", long_message}});
  AddSimpleOrder("500060");
  for (int i = 0; i < 3; ++i) {
    download.composicoes.Add(
        With(BelowItem("500060", "5000601", "1"), {{"CDPRODUTO", "88888"}, {"QTPROCOMEST", 1.0}}));
  }

  Run();

  const DataPacket failure =
      store.Rows("SELECT length(DSLOG), length(DSLOGMSG), DSLOGMSG FROM LOGSINCDLV");
  ASSERT_EQ(failure.rows.size(), 1u);
  EXPECT_EQ(failure.rows[0][0].AsInteger(), 254);
  EXPECT_EQ(failure.rows[0][1].AsInteger(), 499);
  EXPECT_TRUE(store.Logged("getMsgValidaProd - " + failure.rows[0][2].AsText()));
}

}  // namespace
}  // namespace zlv
