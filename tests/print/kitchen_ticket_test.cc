// The kitchen tickets and delivery ticket of downloaded orders (mode "D"), byte for byte
// against golden files, and the faults the walk over an order's items must survive.
#include <gtest/gtest.h>

#include "print/delivery_ticket.h"
#include "print/print_store.h"
#include "print/production_ticket.h"

namespace zlv::test {
namespace {

namespace fs = std::filesystem;

// What the download run does for each committed order when the register prints tickets.
void PrintDownloadedOrders(PrintStore& store) {
  TicketSources sources = store.sources();
  for (store.cdsVendaRest.First(); !store.cdsVendaRest.Eof(); store.cdsVendaRest.Next()) {
    for (const char* column : {"NRSEQIMPRPROD", "NRSEQIMPRPROD2", "NRSEQIMPRPUXA"}) {
      MontaArquivoPedido_(store.services(), sources, column, "D");
    }
    MontaArquivoEntrega(store.services(), sources, "D");
  }
}

class KitchenTicketTest : public ::testing::Test {
 protected:
  void Print(const std::vector<std::string>& central_sales) {
    store_.Download(central_sales);
    PrintDownloadedOrders(store_);
  }
  // One column's tickets of one downloaded order.
  void PrintColumn(const std::string& central_sale, const char* column) {
    store_.Download({central_sale});
    TicketSources sources = store_.sources();
    MontaArquivoPedido_(store_.services(), sources, column, "D");
  }
  PrintStore store_;
};

// Two printers (kitchen 1 on model "2", 42 columns; bar 2 on model "1", 36 columns), a combo
// whose product is one of its rows, observations, a weighed salad, half a portion, change.
TEST_F(KitchenTicketTest, AppDeliveryOrderOnTwoPrintersWithComboAndChange) {
  Print({"900001"});
  ExpectTicketsMatchGolden(store_, "app_delivery_900001");  // each closed by "SENHA 042"
}

// iFood: the bacon sold as an observation product is printed as an item, the item's list of
// observations is left out (only the typed one shows); part paid with an iFood voucher.
TEST_F(KitchenTicketTest, IfoodPickUpOrderWithObservationProductAndVoucher) {
  Print({"900002"});
  ExpectTicketsMatchGolden(store_, "ifood_pickup_900002");
}

// External number and table label (DLV_ORD), eaten in, a combo without its own row whose
// burger is made of parts, an item hidden from the kitchen, a weighed product.
TEST_F(KitchenTicketTest, ExternalOrderEatenInWithTableAndComboOfParts) {
  Print({"900003"});
  ExpectTicketsMatchGolden(store_, "external_table_900003");
}

TEST_F(KitchenTicketTest, TwoOrdersOfOneRunGiveTheirOwnTickets) {
  Print({"900001", "900002"});
  const auto tickets = store_.Tickets();
  EXPECT_TRUE(tickets.count("11520P_001.txt"));
  EXPECT_TRUE(tickets.count("11521P_001.txt"));
  EXPECT_TRUE(tickets.count("11520E001_001.txt"));
  EXPECT_TRUE(tickets.count("11521E001_001.txt"));
  // The sales' cursor is left where the run put it.
  EXPECT_TRUE(store_.cdsVendaRest.Eof());
}

// A combo item without a combo sequence finds no group; the walk stayed on it for ever.
TEST_F(KitchenTicketTest, ComboItemWithoutGroupIsPrintedAndTheWalkMovesOn) {
  store_.Sql(
      "UPDATE ITCOMANDAVEN SET NRSEQPRODCOM = NULL WHERE NRVENDAREST = '101' AND "
      "NRPRODCOMVEN = '004';");
  PrintColumn("900001", "NRSEQIMPRPROD");
  const std::string kitchen = store_.Tickets().at("11520P_001.txt");
  EXPECT_NE(kitchen.find("---> 1  CHEESEBURGER\r\n"), std::string::npos) << kitchen;
  EXPECT_NE(kitchen.find("SENHA 042"), std::string::npos);
}

TEST_F(KitchenTicketTest, LongComboTitleIsCutTo36CharactersBeforeCentring) {
  store_.Sql(
      "UPDATE PRODUTO SET NMPRODUTO = 'COMBO FAMILIA SUPER ESPECIAL DE FIM DE SEMANA' "
      "WHERE CDPRODUTO = '20001';");
  PrintColumn("900003", "NRSEQIMPRPROD");
  const std::vector<std::string> lines = TicketLines(store_.Tickets().at("11522P_001.txt"));
  // "1 - " and the name, cut to 36 characters, centred in 42 columns.
  const std::string title = "1 - COMBO FAMILIA SUPER ESPECIAL DE ";
  ASSERT_EQ(title.size(), 36u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "   " + title + "   "), lines.end());
}

// 0.37 has no small denominator: the fraction search never ended.
TEST_F(KitchenTicketTest, QuantityWithoutSmallFractionPrintsAsDecimal) {
  store_.Sql(
      "UPDATE ITCOMANDAVEN SET QTPRODCOMVEN = 0.37 WHERE NRVENDAREST = '101' AND "
      "NRPRODCOMVEN = '008';");
  PrintColumn("900001", "NRSEQIMPRPROD");
  EXPECT_NE(store_.Tickets().at("11520P_001.txt").find("---> 0,37  BATATA FRITA MEDIA\r\n"),
            std::string::npos);
  EXPECT_NE(store_.LogText().find("ConvertFracionario: doValor=0,37"), std::string::npos);
}

TEST_F(KitchenTicketTest, OrderWithoutItemsForTheColumnWritesNoFile) {
  store_.Download({"900002"});
  store_.Sql("UPDATE PRODLOJA SET NRSEQIMPRPROD2 = NULL;");
  TicketSources sources = store_.sources();
  MontaArquivoPedido_(store_.services(), sources, "NRSEQIMPRPROD2", "D");
  EXPECT_TRUE(store_.Tickets().empty());
  EXPECT_EQ(store_.LogText().find("Erro"), std::string::npos) << store_.LogText();
}

// The order number comes from the database; a crafted one must not place a ticket elsewhere.
TEST_F(KitchenTicketTest, OrderNumberWithPathSeparatorsWritesNothingOutsideTheFolder) {
  store_.Sql("UPDATE COMANDAVEN SET DSCOMANDA = 'DLV_../../../pwn' WHERE NRVENDAREST = '101';");
  Print({"900001"});
  EXPECT_TRUE(store_.Tickets().empty());
  for (const auto& entry : fs::recursive_directory_iterator(store_.exe().parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find("pwn"), std::string::npos) << entry.path();
  }
  const std::string log = store_.LogText();
  EXPECT_NE(log.find("Método \"MontaArquivoPedido_NRSEQIMPRPROD\": Erro -> Nome de arquivo"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Método \"MontaArquivoEntrega\": Erro -> Nome de arquivo"), std::string::npos);
}

TEST_F(KitchenTicketTest, MissingTicketFolderIsLoggedPerColumn) {
  fs::remove_all(store_.TicketFolder());
  PrintColumn("900001", "NRSEQIMPRPROD2");
  EXPECT_NE(store_.LogText().find("Método \"MontaArquivoPedido_NRSEQIMPRPROD2\": Erro -> "),
            std::string::npos);
  EXPECT_FALSE(fs::exists(store_.TicketFolder()));
}

// A customer's text carrying a line break, a forged line, a cash-drawer kick (ESC p) and a
// paper cut (GS V), in every order text a ticket prints: the tickets hold no printer command
// but the layout's own bold switches, and the forged text never starts a line.
TEST_F(KitchenTicketTest, ForgedLineAndDrawerKickInObservation) {
  const std::string attack =
      "'Sem sal' || char(13, 10) || '*** PAGO ONLINE - NAO COBRAR ***' || char(27) || 'p0' || "
      "char(29) || 'V1' || char(9, 127, 8)";
  store_.Sql("UPDATE COMANDAVEN SET DSOBSCOMANDA = " + attack + ", DSCONSUMIDOR = " + attack +
             ", DSENDECONSCOMAN = " + attack + ", DSCOMPLENDCOCOM = " + attack +
             ", DSREFENDCONSCOM = " + attack + " WHERE NRVENDAREST = '101';" +
             "UPDATE ITCOMANDAVEN SET DSOBSPEDDIGCMD = " + attack + ", TXPRODCOMVEN = " + attack +
             ", DSPRODUTOGEN = " + attack + " WHERE NRVENDAREST = '101';" +
             "UPDATE CONSUMIDOR SET NMCONSUMIDOR = " + attack + ";");
  Print({"900001"});
  const auto tickets = store_.Tickets();
  ASSERT_TRUE(tickets.count("11520P_001.txt"));
  ASSERT_TRUE(tickets.count("11520E001_001.txt"));
  for (const auto& [name, bytes] : tickets) {
    int forged_lines = 0;
    for (std::string line : TicketLines(bytes)) {
      if (line.starts_with("\x1B\x45") || line.starts_with("\x1B\x46")) line.erase(0, 2);
      for (unsigned char c : line) {
        EXPECT_FALSE(c < 0x20 || c == 0x7F) << name << ": byte " << int(c) << " in " << line;
      }
      EXPECT_FALSE(line.starts_with("*** PAGO ONLINE")) << name;
      forged_lines += line.find("PAGO ONLINE") != std::string::npos;
    }
    EXPECT_GT(forged_lines, 0) << name << ": the customer's text is printed, blanked";
  }
}

TEST_F(KitchenTicketTest, CancelledOrderTabsPrintNothing) {
  store_.Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = '4' WHERE NRVENDAREST = '101';");
  Print({"900001"});
  EXPECT_TRUE(store_.Tickets().empty());
}

}  // namespace
}  // namespace zlv::test
