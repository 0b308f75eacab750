// The rows the SQLite texts give on the demo store for the tickets: the kitchen items with
// their observation lists, built on SQL Server with FOR XML PATH and REPLICATE, and the delivery
// ticket's items in the order of the sales screen.
#include <set>
#include <string>
#include <vector>

#include "database/catalogue_rows_fixture.h"

namespace zlv::test {
namespace {

class CatalogueTicketRows : public CatalogueRows {};

TEST_P(CatalogueTicketRows, KitchenItemsCarryTheirObservationListWithoutTheTypedText) {
  AddSale({.nr = "200", .aux = "9200"});
  AddItem("200", "001", "10001", "", Variant("caprichar; sem sal"));
  AddObservation("OBSITCOMANDAVEN", "200", "001", "01.002", 2.0);              // SEM TOMATE twice
  AddObservation("OBSITCOMANDAVEN", "200", "001", "01.001", Variant::Null());  // once
  AddObservation("OBSITCOMANDAVEN", "200", "001", "02.001", 0.0);              // not at all
  AddItem("200", "002", "10002", " SEM CEBOLA;");  // the central server's own text
  AddObservation("OBSITCOMANDAVEN", "200", "002", "01.001", Variant::Null());
  AddObservation("OBSITCOMANDAVEN", "200", "002", "01.004", Variant::Null());
  AddItem("200", "003", "10004", "COM GELO E LIMAO ESPREMIDO NA HORA, SEM CANUDO");

  const DataPacket pedido =
      Open("adqBuscaPedido", {{"P_CDFILIAL", "0001"}, {"P_NRVENDARESTAUX", "9200"}});
  EXPECT_EQ(Column(pedido, "NRPRODCOMVEN"), (std::vector<std::string>{"001", "002", "003"}));
  EXPECT_EQ(Column(pedido, "DSOBSITEMVENDA"),
            (std::vector<std::string>{" SEM CEBOLA;SEM TOMATE;SEM TOMATE;", " AO PONTO;",
                                      "COM GELO E LIMAO ESPREMIDO NA HORA, SEM CANUDO"}));
  EXPECT_EQ(Column(pedido, "DSOBSPEDDIGITA"),
            (std::vector<std::string>{" caprichar;sem sal;", "<null>", "<null>"}));
  EXPECT_EQ(Column(pedido, "TXPRODCOMVEN")[2], "COM GELO E LIMAO ESPREMIDO NA ");
  EXPECT_EQ(Column(pedido, "NMPRODUTO")[0], "HAMB CLASSICO");

  // A scheduled order reads the same rows by the store's own sale number.
  const DataPacket encomenda =
      Open("adqBuscaEncomenda", {{"P_CDFILIAL", "0001"}, {"P_NRVENDAREST", "200"}});
  EXPECT_EQ(encomenda, pedido);
}

TEST_P(CatalogueTicketRows, KitchenItemsOfAComboStayTogetherAfterThePlainOnes) {
  AddSale({.nr = "210", .aux = "9210"});
  AddItem("210", "001", "20001");
  AddItem("210", "002", "10001");
  AddItem("210", "003", "10004");
  Sql("UPDATE ITCOMANDAVEN SET CDPRODPROMOCAO = '20001', NRSEQPRODCOM = '001' "
      "WHERE NRPRODCOMVEN IN ('001', '002')");
  const DataPacket rows =
      Open("adqBuscaPedido", {{"P_CDFILIAL", "0001"}, {"P_NRVENDARESTAUX", "9210"}});
  const auto items = Column(rows, "NRPRODCOMVEN");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], "003");
  EXPECT_EQ(std::set<std::string>(items.begin() + 1, items.end()),
            (std::set<std::string>{"001", "002"}));
  EXPECT_EQ(Column(rows, "NMPRODUTOPROM")[1], "COMBO CLASSICO");
}

TEST_P(CatalogueTicketRows, DeliveryTicketListsOnlyItsObservationsAndSkipsCancelledItems) {
  AddSale({.nr = "220", .aux = "9220"});
  AddItem("220", "001", "10001", "", Variant("bem embalado"));
  AddObservation("OBSITCOMANDAVEN", "220", "001", "01.001", Variant::Null());
  AddObservation("OBSITCOMANDAVEN", "220", "001", "01.005", Variant::Null());  // kitchen only
  AddObservation("OBSITCOMANDAEST", "220", "001", "02.002", 2.0, "30002");
  AddItem("220", "002", "10004", "", Variant::Null(), "6");

  const DataPacket itens =
      Open("adqItensITCOMANDAVEN",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDARESTAUX", "9220"}});
  EXPECT_EQ(Column(itens, "CDPRODUTO"), (std::vector<std::string>{"10001"}));
  EXPECT_EQ(Column(itens, "DSOBSITEMVENDA"), (std::vector<std::string>{" SEM CEBOLA;"}));
  // ' ' + list + ';' keeps the list's own leading blank: the server text's first REPLACE
  // turns a blank into a blank.
  EXPECT_EQ(Column(itens, "DSOBSITEMVENDAEST"),
            (std::vector<std::string>{"  QUEIJO EXTRA;QUEIJO EXTRA;"}));
  EXPECT_EQ(Column(itens, "DSOBSPEDDIGITA"), (std::vector<std::string>{" bem embalado;"}));
  EXPECT_EQ(Column(itens, "SGUNIDADE"), (std::vector<std::string>{"UN"}));

  // The scheduled variant has every observation of the item (no delivery-ticket filter).
  const DataPacket enc =
      Open("adqItensITCOMANDAVENEnc",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDAREST", "220"}});
  EXPECT_EQ(Column(enc, "DSOBSITEMVENDA"),
            (std::vector<std::string>{" SEM CEBOLA;CORTAR AO MEIO;"}));
}

TEST_P(CatalogueTicketRows, DeliveryTicketOfAStoreOrderedByNameGroupsBySalesScreen) {
  AddSale({.nr = "230", .aux = "9230", .loja = "002"});  // store 002 orders by name
  AddItem("230", "001", "10010");                        // on no screen button
  AddItem("230", "002", "10004");                        // BEBIDAS
  AddItem("230", "003", "10001");                        // LANCHES
  const DataPacket itens =
      Open("adqItensITCOMANDAVEN",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDARESTAUX", "9230"}});
  EXPECT_EQ(Column(itens, "CDPRODUTO"), (std::vector<std::string>{"10004", "10001", "10010"}));
}

INSTANTIATE_TEST_SUITE_P(Drivers, CatalogueTicketRows,
                         ::testing::Values(Driver::Sqlite, Driver::Odbc), DriverName);

}  // namespace
}  // namespace zlv::test
