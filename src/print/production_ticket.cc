#include "print/production_ticket.h"

#include <string>
#include <utility>

#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "data/filter.h"
#include "print/item_walk.h"
#include "print/order_header.h"
#include "print/ticket_text.h"

namespace zlv {

namespace {

constexpr int kComboTitleLength = 36;
constexpr const char* kDateTimePattern = "dd/mm/yyyy hh:nn:ss";

std::string FilePrefix(PrinterColumn column) {
  switch (column) {
    case PrinterColumn::Prod2:
      return "P2_";
    case PrinterColumn::Puxa:
      return "U_";
    case PrinterColumn::Prod:
      break;
  }
  return "P_";
}

class ProductionTicket : public ItemWalk {
 public:
  ProductionTicket(Services& services, PrinterColumn column, OrderHeader order)
      : ItemWalk(services, column, FilePrefix(column)), order_(std::move(order)) {}

  using ItemWalk::FirstItemSale;
  using ItemWalk::LoadItems;

  // Writes the tickets; call_code closes each of them.
  void Write(std::string order_number, std::string call_code) {
    call_code_ = std::move(call_code);
    Walk(std::move(order_number));
  }

 protected:
  void AddHeader(bool opening) override {
    const RegionalSettings& regional = services_.regional;
    lines_.AddRule();
    lines_.AddCentred(column_ == PrinterColumn::Puxa ? "RELATORIO DO PUXA" : "PEDIDO");
    lines_.AddCentred("  DATA   " +
                      regional.FormatDateTime(kDateTimePattern, services_.clock.Now()));
    if (auto when = ScheduledTime(order_.dthragendada)) {
      lines_.AddCentred("AGENDADO " + regional.FormatDateTime(kDateTimePattern, *when));
    }
    lines_.AddRule();
    if (opening) {
      const std::string origin = OrigemLabel(order_.idorgcmdvenda);
      if (!origin.empty()) lines_.Add("ORIGEM.....: " + origin);
      lines_.Add("CONSUMO....: " + ConsumoLabel(order_.idretballoja));
      AddDelivery();
      lines_.Add("PEDIDO.....: " + order_number());
    } else {
      // A ticket after a printer change tells the station what kind of order it belongs to.
      if (column_ != PrinterColumn::Puxa) {
        TitleLines title = ContinuationTitle(order_.idorgcmdvenda, order_.idretballoja);
        if (!title.first.empty()) {
          lines_.AddCentred(title.first);
          lines_.AddCentred(title.second);
        }
      }
      lines_.Add("PEDIDO.....: " + order_number());
      AddDelivery();
    }
    AddOrderTail(lines_, order_);
  }

  void AddClosing(bool printer_change) override {
    if (printer_change) {
      lines_.AddRule();
    } else {
      lines_.AddRuleUnlessLast();
    }
    lines_.AddCentred("SENHA " + call_code_);
    lines_.AddRule();
    lines_.AddPaperFeed();
  }

  void AddComboTitle(const Combo& combo) override {
    lines_.AddRuleUnlessLast();
    const std::string title = combo.own_row ? "** " + combo.title + " **" : combo.title;
    lines_.AddCentred(TextLeft(title, kComboTitleLength));
    // The observation typed for the combo as a whole sits on the combo product's own item.
    NamedStatement parent(services_.db, "adqObsProdPai");
    parent.SetParam("P_CDFILIAL", services_.globals.gCDFILIAL);
    parent.SetParam("P_NRVENDAREST", combo.sale);
    parent.SetParam("P_CDPRODUTO", combo.product);
    parent.SetParam("P_NRSEQPRODCOM", combo.sequence);
    parent.Open();
    if (!parent.IsEmpty()) {
      const std::string text = parent.Field("TXPRODCOMVEN").AsText();
      if (!text.empty()) lines_.Add("* " + text);
    }
    lines_.AddRuleUnlessLast();
  }

  // iFood sends the observations as products of their own, printed as items.
  bool ItemObservations() const override { return order_.idorgcmdvenda != "DLV_IFO"; }

 private:
  void AddDelivery() {
    if (!order_.dspreventrega.empty()) lines_.Add("ENTREGA....: " + order_.dspreventrega);
  }

  OrderHeader order_;
  std::string call_code_;
};

// The consumer of the sale, as the filtered cdsCons shows it; empty when there is none.
std::string ConsumerName(Dataset& consumers, const Dataset& sale) {
  if (!consumers.HasField("CDCLIENTE") || !consumers.HasField("CDCONSUMIDOR")) return {};
  consumers.SetFilter("CDCLIENTE = " + QuoteFilterValue(sale.Text("CDCLIENTE")) +
                      " AND CDCONSUMIDOR = " + QuoteFilterValue(sale.Text("CDCONSUMIDOR")));
  consumers.SetFiltered(true);
  consumers.First();
  if (consumers.Eof() || !consumers.HasField("NMCONSUMIDOR")) return {};
  return consumers.Text("NMCONSUMIDOR");
}

DataPacket OrderItems(Services& services, const Dataset& tab, std::string_view mode) {
  const bool scheduled = mode == "E";
  NamedStatement items(services.db, scheduled ? "adqBuscaEncomenda" : "adqBuscaPedido");
  items.SetParam("P_CDFILIAL", tab.Text("CDFILIAL"));
  items.SetParam(scheduled ? "P_NRVENDAREST" : "P_NRVENDARESTAUX", tab.Text("NRVENDAREST"));
  return items.Packet();
}

void WriteProduction(Services& services, TicketSources& sources, PrinterColumn column,
                     std::string_view mode) {
  if (mode != "D" && mode != "E") return;
  const Dataset& sale = sources.cdsVendaRest;
  const std::string nrvendarest = sale.Text("NRVENDAREST");
  if (!FilterLiveOrderTabs(sources)) return;  // every order tab of the sale is cancelled
  const Dataset& tab = sources.cdsComandaVen;

  OrderHeader order{
      .idorgcmdvenda = tab.Text("IDORGCMDVENDA"),
      .idretballoja = tab.Text("IDRETBALLOJA"),
      .dthragendada = tab.Field("DTHRAGENDADA"),
      .dspreventrega = tab.Text("DSPREVENTREGA"),
      .nrcomandaext = tab.Text("NRCOMANDAEXT"),
      .dsconsumidor = tab.Text("DSCONSUMIDOR"),
      .nmconsumidor = ConsumerName(sources.cdsCons, sale),
      .dsobscomanda = tab.Text("DSOBSCOMANDA"),
      .nrmesa = sale.Text("NRMESA"),
      .nrmesaeattake = sale.Text("NRMESAEATTAKE"),
      .cdvendedor = sale.Text("CDVENDEDOR"),
  };
  NamedStatement(services.db, "acmSetArithAbort").Execute();
  DataPacket items = OrderItems(services, tab, mode);

  const bool ifood = order.idorgcmdvenda == "DLV_IFO";
  ProductionTicket ticket(services, column, std::move(order));
  if (!ticket.LoadItems(items, /*keep_observation_products=*/ifood)) return;

  std::string number = BuscaNumeroPedido(services, services.globals.gCDFILIAL, nrvendarest, mode);
  NamedStatement call_code(services.db, "adqSenhaPed");
  call_code.SetParam("P_CDFILIAL", services.globals.gCDFILIAL);
  call_code.SetParam("P_CDLOJA", services.globals.gCDLOJA);
  call_code.SetParam("P_NRVENDAREST", ticket.FirstItemSale());
  call_code.Open();
  ticket.Write(std::move(number),
               call_code.IsEmpty() ? "" : call_code.Field("CDSENHAPED").AsText());
}

}  // namespace

void MontaArquivoPedido_(Services& services, TicketSources& sources, std::string_view column,
                         std::string_view mode) {
  const PrinterColumn parsed = ParsePrinterColumn(column);
  try {
    WriteProduction(services, sources, parsed, mode);
  } catch (const std::exception& e) {
    services.log.GravaLog("Método \"MontaArquivoPedido_" + ColumnName(parsed) + "\": Erro -> " +
                          LogText(e.what()));
  }
  sources.cdsCons.SetFiltered(false);
}

}  // namespace zlv
