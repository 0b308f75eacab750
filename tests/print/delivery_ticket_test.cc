// The delivery ticket's switches and its writing in one piece.
#include <gtest/gtest.h>

#include <functional>

#include "print/delivery_ticket.h"
#include "print/print_store.h"
#include "print/production_ticket.h"

namespace zlv::test {
namespace {

class DeliveryTicketTest : public ::testing::Test {
 protected:
  void Deliver(const std::string& central_sale) {
    store_.Download({central_sale});
    TicketSources sources = store_.sources();
    MontaArquivoEntrega(store_.services(), sources, "D");
  }
  PrintStore store_;
};

TEST_F(DeliveryTicketTest, RegisterThatDoesNotPrintDeliveryTicketsWritesNothing) {
  store_.Sql("UPDATE CAIXA SET IDIMPAUTENTREG = 'N';");
  Deliver("900001");
  EXPECT_TRUE(store_.Tickets().empty());
  EXPECT_TRUE(store_.LogText().empty()) << store_.LogText();
}

TEST_F(DeliveryTicketTest, DeliveryPrinterSevenWinsOverPrinterOne) {
  store_.Sql("UPDATE CAIXA SET NRSEQIMPRLOJA7 = '3' WHERE CDCAIXA = '001';");
  Deliver("900001");
  EXPECT_TRUE(store_.Tickets().count("31520E001_001.txt"));
}

TEST_F(DeliveryTicketTest, OrderPrintedAgainReplacesItsFile) {
  Deliver("900001");
  const std::string first = store_.Tickets().at("11520E001_001.txt");
  store_.clock().Advance(60);
  Deliver("900001");
  const auto tickets = store_.Tickets();
  ASSERT_EQ(tickets.size(), 1u);
  EXPECT_NE(tickets.at("11520E001_001.txt"), first);
  EXPECT_NE(tickets.at("11520E001_001.txt").find("Emissao:  06/12/2026 21:06:09"),
            std::string::npos);
}

// The sale did not reach the store database (its insert was rolled back): no ticket with an
// empty header goes to the courier's printer.
TEST_F(DeliveryTicketTest, OrderMissingFromTheStoreIsLoggedNotPrinted) {
  store_.Download({"900001"});
  store_.Sql("UPDATE VENDAREST SET NRVENDARESTAUX = NULL WHERE NRVENDAREST = '101';");
  TicketSources sources = store_.sources();
  MontaArquivoEntrega(store_.services(), sources, "D");
  EXPECT_TRUE(store_.Tickets().empty());
  EXPECT_NE(store_.LogText().find("Método \"MontaArquivoEntrega\": Erro -> "), std::string::npos);
}

// A mode letter no writer knows is the caller's mistake, not an order to skip in silence.
TEST_F(DeliveryTicketTest, UnknownModeIsRefusedNamingTheModesAllowed) {
  store_.Download({"900001"});
  TicketSources sources = store_.sources();
  const auto expect_refused = [](const char* writer, const std::function<void()>& write) {
    try {
      write();
      ADD_FAILURE() << writer << " accepted mode \"X\"";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "modo de impressão \"X\" inválido; aceitos: \"D\", \"E\"");
    }
  };
  expect_refused("MontaArquivoEntrega",
                 [&] { MontaArquivoEntrega(store_.services(), sources, "X"); });
  expect_refused("MontaArquivoPedido_",
                 [&] { MontaArquivoPedido_(store_.services(), sources, "NRSEQIMPRPROD", "X"); });
  EXPECT_TRUE(store_.Tickets().empty());
}

TEST_F(DeliveryTicketTest, ScheduledFlagYear2000OrEarlierShowsTheLabelAlone) {
  Deliver("900003");  // DTHRAGENDADA 1899-12-30
  const std::vector<std::string> lines = TicketLines(store_.Tickets().at("11522E001_001.txt"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Agendamento:"), lines.end());
}

}  // namespace
}  // namespace zlv::test
