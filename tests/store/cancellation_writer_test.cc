// InserePedidoCanc and CancelaPedidoKDS on orders already in the demo store.
#include "store/cancellation_writer.h"

#include <gtest/gtest.h>

#include "download_builder.h"
#include "store_fixture.h"

namespace zlv {
namespace {

using test::kFilial;
using test::kLoja;

class CancellationWriterTest : public ::testing::Test {
 protected:
  CancellationWriterTest()
      : cancellations(std::vector<FieldDef>{{"CDFILIAL", FieldType::String, 4},
                                            {"CDLOJA", FieldType::String, 10},
                                            {"NRVENDAREST", FieldType::String, 10},
                                            {"NRVENDARESTAUX", FieldType::String, 10},
                                            {"CDCLIENTE", FieldType::String, 15}}) {}

  // A delivery order the store wrote earlier: one order tab, two items, kitchen display rows.
  void PlaceOrder(const std::string& nr, bool kitchen_relation = false) {
    Database& db = store.db();
    db.Execute(
        "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, CDCLIENTE, CDCONSUMIDOR, "
        "CDOPERADOR, CDVENDEDOR, DTHRABERMESA, NRVENDARESTAUX) VALUES (?, ?, ?, '0001', "
        "'000001', '0001', '9999', '2024-03-15 19:00:00', ?)",
        {kFilial, nr, kLoja, "C" + nr});
    db.Execute(
        "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, "
        "CDLOJA) VALUES (?, ?, ?, ?, '3', ?)",
        {kFilial, nr, "T" + nr, "DLV_T" + nr, kLoja});
    for (const char* item : {"000001", "000002"}) {
      db.Execute(
          "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, "
          "CDPRODUTO, IDSTPRCOMVEN, CDLOJA) VALUES (?, ?, ?, ?, '10001', '1', ?)",
          {kFilial, nr, "T" + nr, item, kLoja});
      db.Execute(
          "INSERT INTO ITPEDIDOZLV (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, "
          "CDPRODUTO, IDSITITPEDZLV) VALUES (?, ?, ?, ?, '10001', 'P')",
          {kFilial, nr, "T" + nr, item});
      if (kitchen_relation) {
        db.Execute(
            "INSERT INTO ITPEDIDOZLVREL (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, "
            "CDPRODUTO, IDSITITPEDZLV) VALUES (?, ?, ?, ?, '10001', 'P')",
            {kFilial, nr, "T" + nr, item});
      }
    }
  }

  // A sale completed at a cash register for the order.
  void CompleteSale(const std::string& nr, const std::string& cdcaixa) {
    store.db().Execute(
        "INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, CDLOJA, NRVENDAREST, "
        "IDSITUVENDA) VALUES (?, ?, ?, ?, ?, 'O')",
        {kFilial, cdcaixa, "S" + nr, kLoja, nr});
  }

  // A cancellation of local sale `nr`, carrying the central number the store received with
  // the order unless `central` names another.
  void Cancel(const std::string& nr, const std::string& central = "",
              const std::string& loja = kLoja) {
    cancellations.Add({{"CDFILIAL", kFilial},
                       {"CDLOJA", loja},
                       {"NRVENDAREST", central.empty() ? "C" + nr : central},
                       {"NRVENDARESTAUX", nr},
                       {"CDCLIENTE", "0001"}});
  }

  void Run() {
    sets.cdsPedidosCanc.LoadPacket(cancellations.packet());
    InserePedidoCanc(store.services(), sets);
  }

  std::string States(const std::string& nr) {
    return store
        .Value(
            "SELECT CV.IDSTCOMANDA || '/' || group_concat(IT.IDSTPRCOMVEN, '') "
            "FROM COMANDAVEN CV JOIN ITCOMANDAVEN IT ON IT.NRVENDAREST = "
            "CV.NRVENDAREST WHERE CV.NRVENDAREST = ?",
            {nr})
        .value_or("");
  }
  std::string Kitchen(const std::string& table, const std::string& nr) {
    return store
        .Value("SELECT group_concat(IDSITITPEDZLV, '') FROM " + table + " WHERE NRVENDAREST = ?",
               {nr})
        .value_or("");
  }

  test::StoreFixture store;
  DownloadSets sets;
  test::PacketBuilder cancellations;
};

const std::string kSaleRefused =
    "Não foi possivel cancelar o pedido porque ele já possui uma venda concluída. Para cancelar "
    "o pedido é necessário cancelar a venda manualmente. P_NRVENDAREST: ";
const std::string kAlreadyRefused =
    "Não foi possivel cancelar o pedido porque ele já está cancelado. P_NRVENDAREST: ";

TEST_F(CancellationWriterTest, CancelsOrderTabsItemsAndKitchenItems) {
  PlaceOrder("0000000101");
  PlaceOrder("0000000102");
  Cancel("0000000101");

  Run();

  EXPECT_EQ(States("0000000101"), "4/66");
  EXPECT_EQ(Kitchen("ITPEDIDOZLV", "0000000101"), "CC");
  EXPECT_EQ(store.Value("SELECT DISTINCT DTCANCITPED FROM ITPEDIDOZLV WHERE NRVENDAREST = "
                        "'0000000101'"),
            "2024-03-15 19:30:05");
  EXPECT_EQ(States("0000000102"), "3/11");
  EXPECT_EQ(Kitchen("ITPEDIDOZLV", "0000000102"), "PP");
  const auto lines = store.LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Metodo -> \"InserePedidoCanc\"");
  EXPECT_EQ(lines[1], "Pedido cancelado no sistema. P_NRVENDAREST: 0000000101");
  EXPECT_EQ(lines[2], "CancelaPedidoKDS - ITPEDIDOZLV : P_NRVENDAREST: 0000000101");
  EXPECT_TRUE(sets.cdsPedidosCanc.Eof());
}

TEST_F(CancellationWriterTest, KitchenRelationRowsAreCancelledInsteadOfTheItems) {
  PlaceOrder("0000000103", /*kitchen_relation=*/true);
  Cancel("0000000103");

  Run();

  EXPECT_EQ(Kitchen("ITPEDIDOZLVREL", "0000000103"), "CC");
  EXPECT_EQ(Kitchen("ITPEDIDOZLV", "0000000103"), "PP");
  EXPECT_TRUE(store.Logged("CancelaPedidoKDS - ITPEDIDOZLVREL : P_NRVENDAREST: 0000000103"));
}

TEST_F(CancellationWriterTest, CompletedSaleBlocksOnlyOnARegisterWithoutAutomaticReceipts) {
  PlaceOrder("0000000104");
  CompleteSale("0000000104", "001");  // IDIMPAUTCUPEXP 'N'
  PlaceOrder("0000000105");
  CompleteSale("0000000105", "002");  // IDIMPAUTCUPEXP 'S'
  Cancel("0000000104");
  Cancel("0000000105");

  Run();

  EXPECT_EQ(States("0000000104"), "3/11");
  EXPECT_EQ(Kitchen("ITPEDIDOZLV", "0000000104"), "PP");
  EXPECT_TRUE(store.Logged(kSaleRefused + "0000000104"));
  EXPECT_FALSE(store.Logged(kAlreadyRefused + "0000000104"));
  EXPECT_EQ(States("0000000105"), "4/66");
}

TEST_F(CancellationWriterTest, AlreadyCancelledOrderIsNotCancelledAgain) {
  PlaceOrder("0000000106");
  PlaceOrder("0000000107");
  store.db().Execute("UPDATE COMANDAVEN SET IDSTCOMANDA = '4'", {});
  CompleteSale("0000000107", "001");
  Cancel("0000000106");
  Cancel("0000000107");

  Run();

  EXPECT_EQ(Kitchen("ITPEDIDOZLV", "0000000106"), "PP");
  EXPECT_FALSE(store.Logged("Pedido cancelado no sistema. P_NRVENDAREST: 0000000106"));
  const auto lines = store.LogLines();
  const std::vector<std::string> expected = {
      "Metodo -> \"InserePedidoCanc\"", kAlreadyRefused + "0000000106", kSaleRefused + "0000000107",
      kAlreadyRefused + "0000000107"};
  EXPECT_EQ(lines, expected);
}

// Only a delivery order this branch and store received under the row's central number is
// cancelled: a table sale, an unknown number, another central number or another store is not.
TEST_F(CancellationWriterTest, CancellationNamingTableSaleIsRefused) {
  PlaceOrder("0000000108");
  PlaceOrder("0000000111");
  store.db().Execute("UPDATE VENDAREST SET NRVENDARESTAUX = NULL WHERE NRVENDAREST = '0000000111'",
                     {});
  store.db().Execute("UPDATE COMANDAVEN SET DSCOMANDA = 'MESA_12' WHERE NRVENDAREST = '0000000111'",
                     {});
  const struct {
    const char* nr;
    const char* central;
    const char* loja;
  } refused[] = {{"0000000111", "C0000000111", kLoja},
                 {"0000000999", "C0000000999", kLoja},
                 {"0000000108", "C0000000999", kLoja},
                 {"0000000108", "C0000000108", "99"}};
  for (const auto& c : refused) Cancel(c.nr, c.central, c.loja);

  Run();

  for (const char* nr : {"0000000108", "0000000111"}) {
    EXPECT_EQ(States(nr), "3/11") << nr;
    EXPECT_EQ(Kitchen("ITPEDIDOZLV", nr), "PP") << nr;
  }
  std::vector<std::string> expected = {"Metodo -> \"InserePedidoCanc\""};
  for (const auto& c : refused) {
    expected.push_back(
        "Não foi possivel cancelar o pedido porque ele não é um pedido de delivery recebido por "
        "esta loja. P_NRVENDAREST: " +
        std::string(c.nr) + " NRVENDARESTAUX: " + c.central);
  }
  EXPECT_EQ(store.LogLines(), expected);
}

TEST_F(CancellationWriterTest, FailingCancellationIsLoggedAndTheNextOneApplied) {
  PlaceOrder("0000000109");
  PlaceOrder("0000000110");
  // A cancellation row without the store code cannot be checked.
  test::PacketBuilder without_store(std::vector<FieldDef>{{"CDFILIAL", FieldType::String, 4},
                                                          {"NRVENDARESTAUX", FieldType::String, 10},
                                                          {"CDCLIENTE", FieldType::String, 15}});
  without_store.Add(
      {{"CDFILIAL", kFilial}, {"NRVENDARESTAUX", "0000000109"}, {"CDCLIENTE", "0001"}});
  sets.cdsPedidosCanc.LoadPacket(without_store.packet());
  InserePedidoCanc(store.services(), sets);

  EXPECT_EQ(States("0000000109"), "3/11");
  const auto lines = store.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].starts_with("CLIENTE:0001 NRVENDARESTAUX:0000000109 ERRO:")) << lines[1];

  // The kitchen display failing does not undo the cancellation.
  store.db().Execute("DROP TABLE ITPEDIDOZLVREL", {});
  Cancel("0000000110");
  Run();

  EXPECT_EQ(States("0000000110"), "4/66");
  const auto after = store.LogLines();
  EXPECT_TRUE(after.back().starts_with("CancelaPedidoKDS - NRVENDAREST: 0000000110 ERRO:"))
      << after.back();
}

}  // namespace
}  // namespace zlv
