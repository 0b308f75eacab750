#include "store/order_writer.h"

#include <exception>
#include <string>

#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "data/filter.h"
#include "database/row_params.h"
#include "database/transactions.h"
#include "store/failure_log.h"
#include "store/number_generator.h"
#include "store/order_items.h"
#include "store/order_unit.h"

namespace zlv {

namespace {

// The origin code given to an order tab that comes without one.
constexpr const char* kDefaultOrigin = "DLV_ZLV";

class OrderRun {
 public:
  OrderRun(Services& services, CentralCalls& central, DownloadSets& sets, TicketJournal* journal)
      : services_(services),
        sets_(sets),
        journal_(journal),
        unit_(services, central, sets),
        all_orders_(sets.cdsVendaRest.Packet()) {}

  void Run() {
    Dataset& orders = sets_.cdsVendaRest;
    for (orders.First(); !orders.Eof();) {
      if (!WriteOrder()) {
        while (!orders.Eof()) RemoveOrder();
      }
      // A download of many or large orders is long but moving: the watchdog must see it so.
      services_.globals.Touch(services_.clock);
    }
  }

 private:
  Dataset& order() { return sets_.cdsVendaRest; }
  Database& db() { return services_.db; }
  CycleCounters& counters() { return services_.globals.cycle_activity.counters; }
  const std::string& central_number() const { return unit_.central_number(); }
  TdtmZlvProxCodigo Numbers() { return TdtmZlvProxCodigo(db(), &unit_.number_advances()); }

  // The unit of work of the current order: one transaction, ended by Close() in every case.
  // False when the store database would not even begin it (locked by another writer past the
  // busy time-out, connection lost): then neither this order nor the ones after it are written.
  // They leave cdsVendaRest, so they are neither printed nor confirmed and the central server
  // sends them again at the next run, while the orders committed before them are printed and
  // confirmed as usual. Letting the failure leave InserePedido instead would hold those back
  // until a later run found them duplicates and confirmed them without a ticket.
  bool WriteOrder() {
    unit_.Begin();
    try {
      AbreTransacao(db());
    } catch (const std::exception& e) {
      services_.log.GravaLog("NRVENDARESTAUX:" + central_number());
      services_.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
      return false;
    }
    try {
      if (!FoundBeforeInsertion()) {
        WriteSale();
        WriteOrderTabs();
        WriteOrderPayments(unit_);
      }
    } catch (const std::exception& e) {
      unit_.RecordFailure(e.what(), "NRVENDARESTAUX:" + central_number(), "", "");
    }
    Close();
    // The order's transaction has ended: numbers found in use stay passed over even when it
    // was rolled back.
    unit_.number_advances().Keep(db());
    return true;
  }

  // The store's sales with this order's central number, branch, store and opening day,
  // newest local number first. Both checks pass the opening day at midnight: the statement
  // compares days, and SQL Server turns the day it reads into that day's midnight, so the full
  // opening time would match only orders opened at midnight.
  NamedStatement& OpenDuplicates() {
    const DateTime opening = order().Field("DTHRABERMESA").AsDateTime();
    NamedStatement& query = unit_.statements().adqVendaRestDuplicada;
    query.Close();
    query.SetParam("P_CDFILIAL", order().Text("CDFILIAL"));
    query.SetParam("P_CDLOJA", order().Text("CDLOJA"));
    query.SetParam("P_DTHRABERMESA", opening.DateOnly());
    query.SetParam("P_NRVENDARESTAUX", central_number());
    query.Open();
    return query;
  }

  // The order is already in the store when the newest sale with its central number and
  // opening day belongs to the same consumer.
  bool FoundBeforeInsertion() {
    unit_.duplicate = false;
    try {
      NamedStatement& found = OpenDuplicates();
      if (!found.IsEmpty()) {
        found.Result().First();
        unit_.duplicate = found.Field("CDCLIENTE").AsText() == order().Text("CDCLIENTE") &&
                          found.Field("CDCONSUMIDOR").AsText() == order().Text("CDCONSUMIDOR");
      }
    } catch (const std::exception& e) {
      services_.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
    }
    return unit_.duplicate;
  }

  void WriteSale() {
    unit_.nrvendarest = Numbers().PrxVendaRest(order().Text("CDFILIAL"));
    NamedStatement& insert = unit_.statements().acmVendaRest;
    SetParamsFromRow(insert, order(), {"P_NRVENDAREST", "P_NRVENDARESTAUX", "P_DTHRABERMESA"});
    insert.SetParam("P_NRVENDAREST", unit_.nrvendarest);
    insert.SetParam("P_NRVENDARESTAUX", central_number());
    insert.SetParam("P_DTHRABERMESA", order().Field("DTHRABERMESA").AsDateTime());
    insert.Execute();
  }

  void WriteOrderTabs() {
    Dataset& tabs = sets_.cdsComandaVen;
    ApplyFilter(tabs, LinkFilter({{"CDFILIAL", order().Text("CDFILIAL")},
                                  {"NRVENDAREST", central_number()}}));
    for (; !tabs.Eof(); tabs.Next()) {
      const OrderTabNumbers tab = TakeOrderTabNumbers();
      WriteOrderTab(tab);
      WriteOrderTabContents(unit_, tab);
    }
  }

  OrderTabNumbers TakeOrderTabNumbers() {
    const std::string cdfilial = order().Text("CDFILIAL");
    OrderTabNumbers tab;
    tab.nrseqprodcup = Numbers().PrxItComandaVen(cdfilial);
    tab.nrreqextcmd = Numbers().PrxReqExterna(cdfilial);
    tab.nrcomanda = Numbers().PrxComandaVen(cdfilial);
    // Order tabs opened at the cash register take their numbers elsewhere; the next number is
    // free of them.
    NamedStatement& in_use = unit_.statements().adqVerifNrComanda;
    in_use.Close();
    in_use.SetParam("P_CDFILIAL", cdfilial);
    in_use.SetParam("P_NRCOMANDA", tab.nrcomanda);
    in_use.Open();
    if (!in_use.IsEmpty() && !in_use.Field("NRCOMANDA").AsText().empty()) {
      tab.nrcomanda = Numbers().PrxComandaVen(cdfilial);
    }
    return tab;
  }

  void WriteOrderTab(const OrderTabNumbers& tab) {
    const Dataset& row = sets_.cdsComandaVen;
    NamedStatement& insert = unit_.statements().acmInsComandaVen;
    SetParamsFromRow(insert, row,
                     {"P_NRVENDAREST", "P_NRCOMANDA", "P_DSCOMANDA", "P_NRREQEXTCMD",
                      "P_IDSITENVCUPOM", "P_IDIMPCUPEXP"});
    insert.SetParam("P_NRVENDAREST", unit_.nrvendarest);
    insert.SetParam("P_NRCOMANDA", tab.nrcomanda);
    insert.SetParam("P_DSCOMANDA", "DLV_" + tab.nrcomanda);
    // The central server's "P" (placed) is the store's "3".
    const std::string status = row.Text("IDSTCOMANDA");
    insert.SetParam("P_IDSTCOMANDA", status == "P" ? std::string("3") : status);
    for (const char* name :
         {"VRDESCOMANDA", "VRCOMISVENDE", "VRCONSUMAMIN", "VRACRCOMANDA", "VRDESCFID",
          "VRDESCCASH4ALL", "VRDESCPROMO4ALL", "VRDESCCASHUDS", "VRRESGCOREBANC"}) {
      insert.SetParam(std::string("P_") + name, ColumnFloat(row, name));
    }
    insert.SetParam("P_VRPONTOBRINDE", ColumnValue(row, "VRPONTOBRINDE"));
    insert.SetParam("P_VRDESCFIDELIDAD", ColumnValue(row, "VRDESCFIDELIDAD"));
    const std::string origin = row.Text("IDORGCMDVENDA");
    insert.SetParam("P_IDORGCMDVENDA", EmptyString(origin) ? std::string(kDefaultOrigin) : origin);
    const DateTime scheduled = row.Field("DTHRAGENDADA").AsDateTime();
    insert.SetParam("P_DTHRAGENDADA", scheduled.IsZero() ? Variant::Null() : Variant(scheduled));
    insert.SetParam("P_IDIMPCUPEXP", services_.globals.gIDIMPAUTCUPZLV == "S"
                                         ? Variant("2")
                                         : ColumnText(row, "IDIMPCUPEXP"));
    // The router's statement falls back on the consumer's registered name and address with
    // ISNULL: an absent text must stay NULL, or the courier gets an empty name.
    for (const char* name : {"DSCONSUMIDOR", "DSENDECONSCOMAN", "NRENDECONSCOMAN",
                             "DSCOMPLENDCOCOM", "DSBAIRRO", "SGESTADO", "NRCEPCONSCOMAND"}) {
      insert.SetParam(std::string("P_") + name, ColumnValue(row, name));
    }
    insert.SetParam("P_NRREQEXTCMD", tab.nrreqextcmd);
    insert.SetParam("P_IDSITENVCUPOM", row.Text("DSEMAILENVCUPOM").empty() ? "U" : "A");
    insert.Execute();
  }

  void Close() {
    if (unit_.failed()) {
      CloseFailed();
    } else if (unit_.duplicate) {
      CloseFoundBeforeInsertion();
    } else {
      CloseWritten();
    }
  }

  void CloseFailed() {
    ++counters().orders_refused;
    DesfazTransacao(db());
    services_.log.GravaLog("Rollback do pedido NRVENDARESTAUX:" + central_number());
    unit_.CompleteDiagnosis();
    try {
      InsereLogSincDlv(services_, order(), unit_.error_detail(), unit_.diagnosis());
    } catch (...) {
      // The order is downloaded again at the next run; its failure row can wait until then.
    }
    RemoveOrder();
  }

  // Nothing was written: end the transaction now rather than leave it to the next order,
  // then tell the server the store has the order, so it stops sending it.
  void CloseFoundBeforeInsertion() {
    ++counters().duplicates;
    DesfazTransacao(db());
    services_.log.GravaLog("Pedido duplicado: NRVENDARESTAUX " + central_number());
    ReportSynchronised();
    RemoveOrder();
  }

  // Tells the central server the store is done with the order, so that it stops sending it.
  // A failure is logged: the order then comes again and is caught again.
  void ReportSynchronised() {
    try {
      all_orders_.SetFiltered(false);
      all_orders_.SetFilter("NRVENDAREST in (" + QuoteFilterValue(central_number()) + ")");
      all_orders_.SetFiltered(true);
      unit_.central().UpdateSincronismo(all_orders_.CopyFiltered(), sets_.cdsPedidosCanc.Packet());
      services_.log.GravaLog("Atualiza status do pedido " + central_number() +
                             " para sincronizado");
    } catch (const std::exception& e) {
      services_.log.GravaLog(std::string("Erro: UpdateSincronismo duplicado -> ") +
                             LogText(e.what()));
    }
  }

  // Written without failure: commit unless the sale now exists twice: the store already held
  // this central number and day under another consumer, or another writer stored the same
  // order meanwhile.
  void CloseWritten() {
    std::string other_consumer;  // the other sale's, when it is not this order's consumer
    try {
      NamedStatement& copies = OpenDuplicates();
      if (copies.Result().RecordCount() >= 2) {
        services_.log.GravaLog("Pedido duplicado validação no final: NRVENDARESTAUX " +
                               central_number());
        unit_.duplicate = true;
        other_consumer = OtherConsumer(copies.Result());
      }
    } catch (const std::exception& e) {
      services_.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
    }
    if (!unit_.duplicate && !OweTickets()) {
      CloseFailed();
      return;
    }
    if (unit_.duplicate) {
      ++counters().duplicates;
      DesfazTransacao(db());
      services_.log.GravaLog("Rollback do pedido NRVENDARESTAUX:" + central_number());
    } else {
      ConfirmaTransacao(db());
      ++counters().orders_inserted;
      services_.log.GravaLog("Commit do pedido NRVENDARESTAUX:" + central_number());
    }
    try {
      LimpaLogSincDlv(db(), order().Text("CDFILIAL"), order().Text("CDLOJA"), central_number(),
                      order().Field("DTHRABERMESA").AsDateTime());
    } catch (...) {
      // The order is committed; old failure rows go at a later clean-up.
    }
    if (unit_.duplicate) {
      // The store will not take this order as it stands: left unconfirmed, the server would
      // send it every run for ever. It is recorded for the staff and confirmed.
      if (!other_consumer.empty()) RecordHeldByAnotherConsumer(other_consumer);
      ReportSynchronised();
      RemoveOrder();
    } else {
      order().Next();
    }
  }

  // The consumer (client/consumer) of the other sales with this order's central number and
  // day; empty when one of them is this order's own consumer, as then the store has the order.
  std::string OtherConsumer(Dataset& copies) {
    const std::string own = order().Text("CDCLIENTE") + "/" + order().Text("CDCONSUMIDOR");
    std::string other;
    for (copies.First(); !copies.Eof(); copies.Next()) {
      if (copies.Text("NRVENDAREST") == unit_.nrvendarest) continue;
      const std::string consumer = copies.Text("CDCLIENTE") + "/" + copies.Text("CDCONSUMIDOR");
      if (consumer == own) return "";
      if (other.empty()) other = consumer;
    }
    return other;
  }

  // One failure row per order: the clean-up before it has removed the order's earlier rows,
  // so an order that comes again (its confirmation failed) does not add a second one.
  void RecordHeldByAnotherConsumer(const std::string& other_consumer) {
    const std::string own = order().Text("CDCLIENTE") + "/" + order().Text("CDCONSUMIDOR");
    const std::string detail =
        "Pedido duplicado validação no final: NRVENDARESTAUX " + central_number() + ";;";
    const std::string diagnosis =
        "O PEDIDO " + central_number() + " JA EXISTE NA LOJA NESTE DIA PARA O CONSUMIDOR " +
        other_consumer + " ; O PEDIDO RECEBIDO E DO CONSUMIDOR " + own + " E NAO FOI GRAVADO ; ";
    try {
      InsereLogSincDlv(services_, order(), detail, diagnosis);
    } catch (const std::exception& e) {
      services_.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
    }
  }

  // The order's tickets are owed from its commit on: its journal row commits with it. False
  // (the failure recorded) when the row cannot be written.
  bool OweTickets() {
    if (journal_ == nullptr) return true;
    try {
      journal_->Record(order().Text("CDFILIAL"), order().Text("CDLOJA"), unit_.nrvendarest,
                       central_number());
      return true;
    } catch (const std::exception& e) {
      unit_.RecordFailure(e.what(), "NRVENDARESTAUX:" + central_number(), "", "");
      return false;
    }
  }

  // Deletes the current order; the cursor then stands on the order that followed it, or at
  // the end when it was the last one.
  void RemoveOrder() {
    Dataset& orders = order();
    const bool was_last = orders.RecNo() == orders.RecordCount();
    orders.Delete();
    if (was_last && !orders.Eof()) orders.Next();
  }

  Services& services_;
  DownloadSets& sets_;
  TicketJournal* journal_;  // null: no journal
  OrderUnit unit_;
  // Every downloaded order as it came, for reporting a duplicate.
  Dataset all_orders_;
};

}  // namespace

void InserePedido(Services& services, CentralCalls& central, DownloadSets& sets,
                  TicketJournal* journal) {
  services.log.GravaLog("Metodo -> \"InserePedido\" - " +
                        std::to_string(sets.cdsVendaRest.RecordCount()) +
                        " pedidos a serem inseridos na base MSDE");
  OrderRun run(services, central, sets, journal);
  run.Run();
}

}  // namespace zlv
