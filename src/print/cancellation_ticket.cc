#include "print/cancellation_ticket.h"

#include <string>
#include <utility>

#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "print/item_walk.h"
#include "print/order_header.h"
#include "print/ticket_text.h"

namespace zlv {

namespace {

constexpr int kComboTitleLength = 36;
constexpr const char* kCancelledBy = "Pedido Cancelado pelo Ordavix";

OrderHeader CancelledOrder(Services& services, const std::string& cdfilial,
                           const std::string& nrvendarest, std::string cdvendedor) {
  OrderHeader order;
  order.cdvendedor = std::move(cdvendedor);
  NamedStatement query(services.db, "adqComandaCancelada");
  query.SetParam("P_CDFILIAL", cdfilial);
  query.SetParam("P_NRVENDARESTAUX", nrvendarest);
  query.Open();
  if (query.IsEmpty()) return order;
  order.nrcomandaext = query.Field("NRCOMANDAEXT").AsText();
  order.idorgcmdvenda = query.Field("IDORGCMDVENDA").AsText();
  order.dsconsumidor = query.Field("DSCONSUMIDOR").AsText();
  order.dsobscomanda = query.Field("DSOBSCOMANDA").AsText();
  order.nrmesa = query.Field("NRMESA").AsText();
  order.nrmesaeattake = query.Field("NRMESAEATTAKE").AsText();
  order.nmconsumidor = query.Field("NMCONSUMIDOR").AsText();
  return order;
}

class CancellationTicket : public ItemWalk {
 public:
  CancellationTicket(Services& services, PrinterColumn column, OrderHeader order)
      : ItemWalk(services, column, column == PrinterColumn::Prod2 ? "C2_" : "C_"),
        order_(std::move(order)) {}

  using ItemWalk::LoadItems;
  using ItemWalk::Walk;

 protected:
  void AddHeader(bool /*opening*/) override {
    lines_.AddRule();
    lines_.AddCentred("CANCELAMENTO DE PEDIDO");
    lines_.AddCentred(
        services_.regional.FormatDateTime("dd/mm/yyyy hh:nn:ss", services_.clock.Now()));
    lines_.AddRule();
    lines_.AddCentred(kCancelledBy);
    lines_.AddRule();
    lines_.Add("PEDIDO.....: " + order_number());
    AddOrderTail(lines_, order_);
  }

  void AddClosing(bool printer_change) override {
    if (printer_change) lines_.AddEmpty();
    lines_.AddRule();
    lines_.AddCentred(kCancelledBy);
    lines_.AddRule();
    lines_.AddPaperFeed();
  }

  void AddComboTitle(const Combo& combo) override {
    lines_.AddRule();
    lines_.AddCentred(TextLeft(combo.title, kComboTitleLength));
    lines_.AddRule();
  }

  // The station that drops the order must recognise every item as it was printed.
  bool ItemObservations() const override { return true; }

 private:
  OrderHeader order_;
};

void WriteCancellation(Services& services, const Dataset& cancelled, PrinterColumn column) {
  const std::string cdfilial = cancelled.Text("CDFILIAL");
  const std::string nrvendarest = cancelled.Text("NRVENDAREST");
  // The waiter only decorates the ticket; a packet without it still cancels the order.
  std::string cdvendedor = cancelled.HasField("CDVENDEDOR") ? cancelled.Text("CDVENDEDOR") : "";

  NamedStatement items(services.db, "adqBuscaPedido");
  items.SetParam("P_CDFILIAL", cdfilial);
  items.SetParam("P_NRVENDARESTAUX", nrvendarest);
  CancellationTicket ticket(services, column,
                            CancelledOrder(services, cdfilial, nrvendarest, std::move(cdvendedor)));
  if (!ticket.LoadItems(items.Packet(), /*keep_observation_products=*/false)) return;
  ticket.Walk(BuscaNumeroPedido(services, services.globals.gCDFILIAL, nrvendarest, "D"));
}

}  // namespace

void MontaArquivoPedidoCanc_(Services& services, Dataset& cdsPedidosCanc, std::string_view column) {
  const PrinterColumn parsed =
      column == "NRSEQIMPRPROD2" ? PrinterColumn::Prod2 : PrinterColumn::Prod;
  for (cdsPedidosCanc.First(); !cdsPedidosCanc.Eof(); cdsPedidosCanc.Next()) {
    try {
      WriteCancellation(services, cdsPedidosCanc, parsed);
    } catch (const std::exception& e) {
      services.log.GravaLog("Método \"MontaArquivoPedidoCanc_" + ColumnName(parsed) +
                            "\": Erro -> " + LogText(e.what()));
    }
  }
}

}  // namespace zlv
