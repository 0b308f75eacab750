// Cancellation tickets of downloaded cancellations, golden files included.
#include <gtest/gtest.h>

#include "print/cancellation_ticket.h"
#include "print/print_store.h"
#include "print/production_ticket.h"

namespace zlv::test {
namespace {

class CancellationTicketTest : public ::testing::Test {
 protected:
  void Cancel(const std::vector<std::string>& central_sales) {
    store_.DownloadCancellations(central_sales);
    MontaArquivoPedidoCanc_(store_.services(), store_.cdsPedidosCanc, "NRSEQIMPRPROD");
    MontaArquivoPedidoCanc_(store_.services(), store_.cdsPedidosCanc, "NRSEQIMPRPROD2");
  }
  PrintStore store_;
};

// The Rappi order 105 is cancelled in a run that also brought order 900001: its tickets show
// its own external number, consumer and observation, none of the new order's.
TEST_F(CancellationTicketTest, CancelledOrderPrintsItsOwnHeaderOnEachPrinter) {
  store_.Download({"900001"});
  TicketSources sources = store_.sources();
  MontaArquivoPedido_(store_.services(), sources, "NRSEQIMPRPROD", "D");
  std::filesystem::remove(store_.TicketFolder() / "11520P_001.txt");
  std::filesystem::remove(store_.TicketFolder() / "21520P_001.txt");

  Cancel({"900005"});
  ExpectTicketsMatchGolden(store_, "cancelled_rappi_900005");
  for (const auto& [name, bytes] : store_.Tickets()) {
    EXPECT_EQ(bytes.find("Interfone"), std::string::npos) << name;
    EXPECT_EQ(bytes.find("ANA PEREIRA"), std::string::npos) << name;
  }
  EXPECT_TRUE(store_.cdsPedidosCanc.Eof());
}

TEST_F(CancellationTicketTest, OrderUnknownToTheStoreWritesNoFileAndGoesOn) {
  store_.DownloadCancellations({"900005"});
  // A cancellation the store never received, ahead of one it has.
  store_.cdsPedidosCanc.First();
  store_.cdsPedidosCanc.Edit();
  store_.cdsPedidosCanc.SetField("NRVENDAREST", "999999");
  store_.cdsPedidosCanc.Post();
  store_.cdsPedidosCanc.Append();
  store_.cdsPedidosCanc.SetField("CDFILIAL", "0001");
  store_.cdsPedidosCanc.SetField("NRVENDAREST", "900005");
  store_.cdsPedidosCanc.Post();
  MontaArquivoPedidoCanc_(store_.services(), store_.cdsPedidosCanc, "NRSEQIMPRPROD");
  const auto tickets = store_.Tickets();
  EXPECT_EQ(tickets.size(), 2u);
  EXPECT_TRUE(tickets.count("11523C_001.txt"));
  EXPECT_TRUE(tickets.count("21523C_001.txt"));
}

}  // namespace
}  // namespace zlv::test
