#include "print/delivery_ticket.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "bizlib/log_text.h"
#include "bizlib/messages.h"
#include "bizlib/text.h"
#include "database/named_statement.h"
#include "print/delivery_observations.h"
#include "print/order_header.h"
#include "print/print_files.h"
#include "print/ticket_lines.h"
#include "print/ticket_mode.h"
#include "print/ticket_text.h"

namespace zlv {

namespace {

// The delivery ticket is laid out for the 42 columns every delivery printer model prints,
// whatever model the register's printer is.
constexpr int kWidth = 42;
constexpr int kFooterWidth = 50;
constexpr int kMoneyLabelWidth = 29;
constexpr int kMoneyAmountWidth = 13;
constexpr const char* kDateTimePattern = "dd/mm/yyyy hh:nn:ss";

std::string Cut(std::string_view text) { return TextLeft(text, kWidth); }

// Capitals for the address block: the printers' bold font has no lower case; only a to z are
// changed, as the address texts are printed everywhere else.
std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The sets a delivery ticket is made of, read by mode.
struct DeliveryData {
  Dataset header;     // cdsEndereco
  Dataset items;      // cdsItens
  Dataset movements;  // cdsRecebimento
};

DeliveryData ReadOrder(Services& services, const Dataset& sale, bool scheduled) {
  const char* sale_param = scheduled ? "P_NRVENDAREST" : "P_NRVENDARESTAUX";
  const std::string nrvendarest = sale.Text("NRVENDAREST");
  auto read = [&](const char* query, bool with_consumer) {
    NamedStatement statement(services.db, query);
    statement.SetParam("P_CDCLIENTE", sale.Text("CDCLIENTE"));
    if (with_consumer) {
      statement.SetParam("P_CDCONSUMIDOR", sale.Text("CDCONSUMIDOR"));
    } else {
      statement.SetParam("P_CDFILIAL", sale.Text("CDFILIAL"));
    }
    statement.SetParam(sale_param, nrvendarest);
    return Dataset(statement.Packet());
  };
  DeliveryData data;
  data.header = read(scheduled ? "adqEndePedidoEnc" : "adqEndePedido", true);
  NamedStatement(services.db, "acmSetArithAbort").Execute();
  data.items = read(scheduled ? "adqItensITCOMANDAVENEnc" : "adqItensITCOMANDAVEN", true);
  data.movements = read(scheduled ? "adqRecebimentoEnc" : "adqRecebimento", false);
  data.header.First();
  if (data.header.Eof()) {
    throw std::runtime_error("Pedido " + nrvendarest + " não encontrado no banco da loja");
  }
  return data;
}

// The scheduled-order item selection has no kitchen-station observation list: its observation
// list already holds every observation of the item.
std::string StationObservations(const Dataset& items) {
  return items.HasField("DSOBSITEMVENDAEST") ? items.Text("DSOBSITEMVENDAEST") : std::string();
}

class DeliveryTicket {
 public:
  DeliveryTicket(Services& services, const Dataset& sale, DeliveryData& data)
      : services_(services),
        sale_(sale),
        header_(data.header),
        data_(data),
        unit_query_(services.db, "adqUnidadeProduto") {
    lines_.set_width(kWidth);
  }

  std::vector<std::string> Build() {
    AddHeader();
    AddDestination();
    Rule();
    if (!EmptyString(H("DSOBSCOMANDA"))) {
      Add("OBS.: " + H("DSOBSCOMANDA"));
      Rule();
    }
    if (H("IDORGCMDVENDA") == "DLV_SPO") {
      Add("SpoonRocket: Entregador Automatico, nao chamar.");
      Rule();
    }
    AddPayments();
    Rule();
    Add(Msg("PRODUTOS"));
    for (data_.items.First(); !data_.items.Eof(); data_.items.Next()) AddItem(data_.items);
    AddTotals();
    AddFooter();
    std::vector<std::string> out;
    out.reserve(lines_.lines().size());
    for (const std::string& line : lines_.lines()) out.push_back(RemoveAcentos(line));
    return out;
  }

 private:
  std::string H(std::string_view field) const { return header_.Text(field); }
  std::string Money(double value) const { return services_.regional.FormatFixed(value, 2); }

  void Add(std::string_view line) { lines_.Add(line); }
  void Rule() { lines_.AddRule(); }
  void AddMoney(std::string_view label, const std::string& amount) {
    Add(TamFixo(label, kMoneyLabelWidth) + PadL(amount, kMoneyAmountWidth));
  }

  ExternalNumberLines External() const {
    return ExternalNumber(H("IDORGCMDVENDA"), H("NRCOMANDAEXT"), sale_.Text("NRMESA"),
                          sale_.Text("NRMESAEATTAKE"));
  }

  void AddHeader() {
    const RegionalSettings& regional = services_.regional;
    Add(Centraliza(Msg("TITULO"), kWidth));
    Rule();
    Add(Msg("OPERADOR") + " " + H("CDOPERADOR"));
    Add(Cut(Msg("ENTREGADOR") + " " + H("CDVENDEDOR") + " - " + H("NMRAZSOCVEN")));
    for (const char* phone : {"NRCELULARVEN", "NRTELEVEN", "NRTELRESIVEN"}) {
      if (!EmptyString(H(phone))) {
        Add(Msg("TEL_ENTREG") + " " + H(phone));
        break;
      }
    }
    Add(Msg("EMISSAO") + "  " + regional.FormatDateTime(kDateTimePattern, services_.clock.Now()));
    Add(Msg("PEDIDO") + "   " + H("NRCOMANDA"));
    if (auto when = ScheduledTime(header_.Field("DTHRAGENDADA"))) {
      Add(Msg("DTENTREGA") + "  " + regional.FormatDateTime(kDateTimePattern, *when));
    } else {
      Add(Msg("DTENTREGA"));
    }
    ExternalNumberLines external = External();
    if (!external.number.empty()) Add(external.number);
    if (!external.table.empty()) Add(external.table);
    const std::string name = EmptyString(H("DSCONSUMIDOR")) ? H("NMCONSUMIDOR") : H("DSCONSUMIDOR");
    Add(Cut(Msg("CONSUMIDOR") + " " + name));
    if (!EmptyString(H("NRCONTATOCON"))) Add(Msg("TELEFONE") + " " + H("NRCONTATOCON"));
    Rule();
    const std::string origin = OrigemLabel(H("IDORGCMDVENDA"));
    if (!origin.empty()) Add("ORIGEM: " + origin);
  }

  void AddDestination() {
    const std::string mode = H("IDRETBALLOJA");
    if (mode == "N") {
      lines_.BoldBeforeNext(true);
      Add(UpperAscii(Centraliza(Cut(Msg("Endereco")), kWidth)));
      Rule();
      Add(UpperAscii(Cut(Msg("Quadrante") + " " + H("NMQUADRANTE"))));
      std::string street = H("DSENDECONSCOMAN");
      if (!EmptyString(H("NRENDECONSCOMAN"))) street += " - N " + H("NRENDECONSCOMAN");
      Add(UpperAscii(street));
      if (!EmptyString(H("DSCOMPLENDCOCOM"))) Add(UpperAscii(H("DSCOMPLENDCOCOM")));
      Add(UpperAscii(Cut(H("NMBAIRRO"))));
      Add(UpperAscii(Cut(Msg("CEP") + " " + H("NRCEPCONSCOMAND"))));
      Add(UpperAscii(H("NMMUNICIPIO") + " - " + H("SGESTADO")));
      Rule();
      Add(UpperAscii(Cut(Msg("Referencia"))));
      if (!EmptyString(H("DSREFENDCONSCOM"))) Add(UpperAscii(H("DSREFENDCONSCOM")));
      lines_.BoldBeforeNext(false);
    } else if (mode == "S" || mode == "C") {
      Add("");
      Add(Cut(Msg(mode == "S" ? "RETIRAR_BALCAO_LOJA" : "COMER_LOCAL")));
    }
  }

  void AddPayments() {
    Dataset& movements = data_.movements;
    Add(Msg("Form_Pgto"));
    for (movements.First(); !movements.Eof(); movements.Next()) {
      if (movements.Text("IDTIPOMOVIVE") == "E") {
        AddMoney(movements.Text("NMTIPORECE"), Money(movements.Field("VRMOVIVEND").AsFloat()));
      }
    }
    bool first_change = true;
    for (movements.First(); !movements.Eof(); movements.Next()) {
      if (movements.Text("IDTIPOMOVIVE") != "S") continue;
      if (first_change) Add(Msg("Troco"));
      first_change = false;
      AddMoney(movements.Text("NMTIPORECE"),
               "(-)" + Money(movements.Field("VRMOVIVEND").AsFloat()));
    }
  }

  void AddItem(const Dataset& item) {
    const bool in_combo = !item.Text("CDPRODPROMOCAO").empty();
    const bool component = in_combo && item.Text("CDPRODPROMOCAO") != item.Text("CDPRODUTO");
    Add((component ? "   [ ] " : "[ ] ") + Cut(item.Text("NMPRODUTO")));
    const double quantity = item.Field("QTPRODVEND").AsFloat();
    const double price = item.Field("VRUNITVEND").AsFloat();
    const double amount = Trunc2(quantity * price) - item.Field("VRDESITVEND").AsFloat();
    items_subtotal_ += amount;
    surcharge_ += item.Field("VRACRITVEND").AsFloat();
    Add(PadL(services_.regional.FormatFixed(quantity, 3), 10) + " " + Unit(item) + " X " +
        PadL(Money(price), 6) + "  " + PadL(Money(amount), 18));
    for (std::string& line :
         DeliveryObservationLines(in_combo, item.Text("DSOBSITEMVENDA"), StationObservations(item),
                                  item.Text("DSOBSPEDDIGITA"))) {
      Add(std::move(line));
    }
  }

  // The product's unit; the scheduled-order item selection does not return it, so it is read
  // from the product then.
  std::string Unit(const Dataset& item) {
    if (item.HasField("SGUNIDADE")) return item.Text("SGUNIDADE");
    unit_query_.Close();
    unit_query_.SetParam("P_CDPRODUTO", item.Text("CDPRODUTO"));
    unit_query_.Open();
    return unit_query_.IsEmpty() ? std::string() : unit_query_.Field("SGUNIDADE").AsText();
  }

  void AddTotals() {
    const double discount = header_.Field("VRDESCOMANDA").AsFloat();
    const double surcharge = surcharge_ + header_.Field("VRACRCOMANDA").AsFloat();
    double voucher = 0;
    Dataset& movements = data_.movements;
    for (movements.First(); !movements.Eof(); movements.Next()) {
      if (movements.Text("NMTIPORECE") == "VOUCHER_IFOOD") {
        voucher += movements.Field("VRMOVIVEND").AsFloat();
      }
    }
    const double total = items_subtotal_ + surcharge - discount;
    Add(Replicate(" ", kWidth));
    if (discount > 0) AddMoney(Msg("DESCONTO"), Money(discount));
    if (surcharge > 0) AddMoney(Msg("TXENTREGA"), Money(surcharge));
    Rule();
    AddMoney(Msg("TOTAL"), Money(total));
    // What the customer still pays when part of the order was paid with an iFood voucher.
    if (voucher > 0) AddMoney(Msg("TOTALPAG"), Money(total - voucher));
  }

  void AddFooter() {
    ExternalNumberLines external = External();
    if (!external.number.empty()) {
      Rule();
      lines_.BoldBeforeNext(true);
      Add(Centraliza(Cut(external.number), kWidth));
      lines_.BoldBeforeNext(false);
    }
    if (!external.table.empty()) Add(Centraliza(Cut(external.table), kWidth));
    Add("");
    Add(Centraliza("Pedido: " + H("NRCOMANDA"), kFooterWidth));
    for (int i = 0; i < 3; ++i) Add("");
  }

  Services& services_;
  const Dataset& sale_;
  const Dataset& header_;
  DeliveryData& data_;
  TicketLines lines_;
  double items_subtotal_ = 0;
  double surcharge_ = 0;
  NamedStatement unit_query_;
};

void WriteDelivery(Services& services, TicketSources& sources, TicketMode mode) {
  NamedStatement settings(services.db, "adqImprAutoEntrega");
  settings.SetParam("P_CDCAIXA", services.globals.gCDCAIXA);
  settings.Open();
  if (settings.IsEmpty() || settings.Field("IDIMPAUTENTREG").AsText() != "S") return;
  const std::string printer = settings.Field("IMPRENTREGA").AsText();
  const std::string register_store = settings.Field("CDLOJA").AsText();

  if (!FilterLiveOrderTabs(sources)) return;  // no order tab, or every one cancelled
  const Dataset& sale = sources.cdsVendaRest;
  const std::string nrvendarest = sale.Text("NRVENDAREST");

  const bool scheduled = mode == TicketMode::Scheduled;
  DeliveryData data = ReadOrder(services, sale, scheduled);
  const std::string number =
      BuscaNumeroPedido(services, services.globals.gCDFILIAL, nrvendarest, mode);
  std::vector<std::string> lines = DeliveryTicket(services, sale, data).Build();
  WriteTicketFile(TicketPath(services.exe_folder,
                             {printer, number, "E", services.globals.gCDLOJA, "_", register_store}),
                  lines);
  ++services.globals.cycle_activity.counters.tickets_written;
  services.globals.Touch(services.clock);  // a sign of life per ticket written
}

}  // namespace

void MontaArquivoEntrega(Services& services, TicketSources& sources, std::string_view mode) {
  const TicketMode parsed = ParseTicketMode(mode);
  try {
    WriteDelivery(services, sources, parsed);
  } catch (const std::exception& e) {
    services.log.GravaLog(std::string("Método \"MontaArquivoEntrega\": Erro -> ") +
                          LogText(e.what()));
  }
}

}  // namespace zlv
