#include "sync/download_run.h"

#include <array>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "bizlib/log_text.h"
#include "bizlib/restart_hold.h"
#include "database/transactions.h"
#include "print/cancellation_ticket.h"
#include "print/delivery_ticket.h"
#include "print/production_ticket.h"
#include "router/router_config.h"
#include "router/router_dispatch.h"
#include "store/cancellation_writer.h"
#include "store/consumer_writer.h"
#include "store/order_writer.h"
#include "store/own_tables.h"

namespace zlv {

namespace {

// The kitchen tickets of one order, in the order the kitchen expects them: first and second
// production printer, then the puxa report.
constexpr std::array<std::string_view, 3> kProductionColumns = {"NRSEQIMPRPROD", "NRSEQIMPRPROD2",
                                                                "NRSEQIMPRPUXA"};
// Cancellations reach the two production printers.
constexpr std::array<std::string_view, 2> kCancellationColumns = {"NRSEQIMPRPROD",
                                                                  "NRSEQIMPRPROD2"};
// Ticket mode of downloaded orders: their rows carry the central server's numbers.
constexpr std::string_view kModoDownload = "D";

// However a run ends, the watchdog may restart again and the next tick comes one interval
// later: a run that left the timer off would stop the synchroniser for good.
class RunEnd {
 public:
  RunEnd(SyncTimer& timer, Globals& globals) : timer_(timer), globals_(globals) {}
  ~RunEnd() {
    globals_.gLiberaReinicio = true;
    timer_.SetEnabled(true);
  }
  RunEnd(const RunEnd&) = delete;
  RunEnd& operator=(const RunEnd&) = delete;

 private:
  SyncTimer& timer_;
  Globals& globals_;
};

}  // namespace

SyncRun::SyncRun(Services& services, CentralClient& central, SyncTimer& timer,
                 std::function<void()> trim_memory)
    : s_(services),
      central_(central),
      timer_(timer),
      trim_memory_(std::move(trim_memory)),
      upload_(services, central, sets_),
      journal_(services.db),
      acmInsZlvSincExecuta_(services.db, "acmInsZlvSincExecuta"),
      acmDelLogSincDlv_(services.db, "acmDelLogSincDlv"),
      adqImpPed_(services.db, "adqImpPed") {}

void SyncRun::SincronizaDLV(const std::string& cdfilial, const std::string& cdloja) {
  timer_.SetEnabled(false);
  RunEnd end(timer_, s_.globals);
  try {
    Body(cdfilial, cdloja);
  } catch (const std::exception& e) {
    Log(std::string("Metodo \"SincronizaDLV\": Erro -> ") + LogText(e.what()));
    LogRetorno();
    // On a lost connection the rollback fails too; the run still ends as usual, and the next
    // tick makes the connection again (the store connection noted the lost link).
    try {
      DesfazTransacao(s_.db);
    } catch (const std::exception& rollback) {
      Log(std::string("Metodo \"SincronizaDLV\": Erro -> ") + LogText(rollback.what()));
    }
  }
  retorno_ = Variant();
  Log("FIM -> SincronizaDLV");
  Log("");
}

void SyncRun::Body(const std::string& cdfilial, const std::string& cdloja) {
  if (s_.globals.gAvisoReinicio.exchange(false)) {
    Log("Exit após receber aviso de 240 minutos executando.");
    return;
  }
  Log("");
  Log("INICIO -> SincronizaDLV -> Filial: " + cdfilial + " - Loja: " + cdloja);
  Housekeeping(cdfilial, cdloja);
  s_.globals.Touch(s_.clock);
  if (trim_memory_) trim_memory_();
  PrintOwedTickets(cdfilial, cdloja);
  if (!central_.Connected()) return;

  sets_.cdsCons.SetFiltered(false);  // the previous upload left it on its last batch
  Download(cdfilial, cdloja);
  sets_.cdsCons.SetFiltered(false);
  upload_.Run(cdfilial, cdloja, retorno_);
}

void SyncRun::Housekeeping(const std::string& cdfilial, const std::string& cdloja) {
  // Both are bookkeeping the next run repeats; neither may keep the orders from coming in.
  try {
    acmInsZlvSincExecuta_.SetParam("P_CDFILIAL", cdfilial);
    acmInsZlvSincExecuta_.SetParam("P_CDLOJA", cdloja);
    acmInsZlvSincExecuta_.Execute();
  } catch (const std::exception&) {
  }
  try {
    acmDelLogSincDlv_.SetParam("P_CDFILIAL", cdfilial);
    acmDelLogSincDlv_.SetParam("P_CDLOJA", cdloja);
    acmDelLogSincDlv_.SetParam("P_NRVENDARESTAUX", "");
    acmDelLogSincDlv_.SetParam("P_DTHRABERMESA", s_.clock.Now());
    acmDelLogSincDlv_.Execute();
  } catch (const std::exception&) {
  }
}

// From the request on, the answer may hold orders: the watchdog's routine restart waits until
// they are written and the server is told (or the download failed), or it could kill the
// process between the two.
void SyncRun::Download(const std::string& cdfilial, const std::string& cdloja) {
  const RestartHold hold(s_.globals);
  try {
    // Without the counters no order could be written; downloaded and refused one by one, each
    // would sit in LOGSINCDLV while the server kept sending it. Left at the server, they come
    // once the script has run.
    if (NumbersReady()) {
      Log("BaixaPedidos -> baixa os novos pedidos");
      retorno_ = central_.BaixaPedidos(cdfilial, cdloja);
      if (!retorno_.IsText()) s_.globals.cycle_activity.download_answered = ReadInstant(s_.clock);
      if (retorno_.IsText()) {
        Log("Retorno KRV.BaixaPedidos: " + retorno_.AsText());
      } else if (retorno_.IsEmptyOrNull()) {
        Log("Nenhum pedido pendente no servidor");
      } else {
        WriteDownload();
      }
    }
    DispatchToRouter();
  } catch (const std::exception& e) {
    Log(std::string("Método \"BaixaPedidos\": Erro -> ") + LogText(e.what()));
    LogRetorno();
    // The consumer-per-branch rows and cancellations share one transaction; left open, the
    // next order written would commit or roll back this half-done work with its own.
    DesfazTransacao(s_.db);
    CloseDownload();
  }
}

void SyncRun::WriteDownload() {
  LoadDownload(retorno_);
  // The datasets hold the download now: the answer's own copy of it goes at once rather than
  // at the end of the run.
  retorno_ = Variant();
  if (!sets_.cdsCons.IsEmpty()) InsereConsumidor(s_, sets_);

  AbreTransacao(s_.db);
  if (!sets_.cdsConsumiFilial.IsEmpty()) InsereConsumiFilial(s_, sets_);
  if (!sets_.cdsPedidosCanc.IsEmpty()) {
    // A cancellation's tickets are written before it commits: a process that dies in between
    // leaves it unapplied, and it comes again with its tickets. Once committed, the server
    // handing it out again (its confirmation lost) finds it applied and prints nothing.
    Dataset applied(InserePedidoCanc(s_, sets_));
    if (!applied.IsEmpty() && TicketsOn()) PrintCancellations(applied);
  }
  ConfirmaTransacao(s_.db);

  if (!sets_.cdsVendaRest.IsEmpty()) {
    // The orders InserePedido cannot write leave cdsVendaRest.
    const int downloaded = sets_.cdsVendaRest.RecordCount();
    InserePedido(s_, central_, sets_, &journal_);
    tally_.downloaded += downloaded;
    tally_.refused += downloaded - sets_.cdsVendaRest.RecordCount();
    PrintOrders(TicketsOn());
  }

  ConfirmToServer();
  CloseDownload();
}

void SyncRun::LoadDownload(const Variant& packets) {
  const std::vector<Variant>& array = packets.AsArray();
  auto sets = sets_.InDownloadOrder();
  try {
    sets[0]->LoadPacket(array.at(0).AsPacket());
  } catch (const std::exception& e) {
    Log(std::string("cdsCons.Data: Erro -> ") + LogText(e.what()));
    // Whatever it held before belongs to an earlier run and must not be written as new.
    sets[0]->Clear();
  }
  for (size_t i = 1; i < sets.size(); ++i) sets[i]->LoadPacket(array.at(i).AsPacket());
}

bool SyncRun::NumbersReady() {
  // Once there, the table stays: it is asked for again only while it is missing.
  if (!counters_present_) counters_present_ = TabelaExiste(s_.db, kTabelaContadores);
  if (counters_present_) return true;
  LogMissingTable(kTabelaContadores, "nenhum pedido será baixado", counters_missing_logged_);
  return false;
}

void SyncRun::LogMissingTable(const char* table, const std::string& consequence, bool& logged) {
  if (logged) return;
  logged = true;
  Log(std::string("Tabela ") + table + " não encontrada no banco da loja: " + consequence +
      " até que se execute o script " + ScriptAtualizacao(s_.db));
}

bool SyncRun::TicketsOn() {
  adqImpPed_.Close();
  adqImpPed_.SetParam("P_CDFILIAL", s_.globals.gCDFILIAL);
  adqImpPed_.SetParam("P_CDCAIXA", s_.globals.gCDCAIXA);
  adqImpPed_.Open();
  const bool on = !adqImpPed_.IsEmpty() && adqImpPed_.Field("IDIMPPEDDLV").AsText() == "S";
  adqImpPed_.Close();
  return on;
}

void SyncRun::PrintOrders(bool tickets_on) {
  TicketSources sources = ticket_sources();
  Dataset& cdsVendaRest = sets_.cdsVendaRest;
  for (cdsVendaRest.First(); !cdsVendaRest.Eof(); cdsVendaRest.Next()) {
    PrintOrder(sources, tickets_on);
  }
}

// The order's journal row goes as soon as its tickets are written: a process that dies now
// leaves only the orders not printed yet to the next run. The writers log their own failures;
// an order counts as printed either way, or a ticket that cannot be written would be retried
// (and its other tickets printed again) at every run.
void SyncRun::PrintOrder(TicketSources& sources, bool tickets_on) {
  const Dataset& sale = sources.cdsVendaRest;
  if (tickets_on) {
    for (std::string_view column : kProductionColumns) {
      MontaArquivoPedido_(s_, sources, column, kModoDownload);
    }
    MontaArquivoEntrega(s_, sources, kModoDownload);
  }
  s_.globals.Touch(s_.clock);
  if (!journal_.Clear(sale.Text("CDFILIAL"), sale.Text("CDLOJA"), sale.Text("NRVENDAREST"))) {
    Log("Diário de impressão: tickets impressos, registro mantido até a próxima execução - "
        "NRVENDARESTAUX:" +
        sale.Text("NRVENDAREST"));
  }
}

// Orders an earlier run committed whose tickets it did not write (the process died, or the
// run failed before printing): their tickets are written now, from the store's rows, before
// the download can bring any of them again as duplicates. A failure here is logged and leaves
// the rows for the next run; the download goes on.
void SyncRun::PrintOwedTickets(const std::string& cdfilial, const std::string& cdloja) {
  try {
    if (!journal_.Prepare()) {
      LogMissingTable(kTabelaDiario, "tickets impressos sem o diário de impressão",
                      journal_missing_logged_);
      CloseDownload();
      return;
    }
    TicketSources sources = ticket_sources();
    if (journal_.LoadOwed(cdfilial, cdloja, sources.cdsVendaRest, sources.cdsComandaVen,
                          sources.cdsCons)) {
      const bool tickets_on = TicketsOn();
      Dataset& owed = sources.cdsVendaRest;
      for (owed.First(); !owed.Eof(); owed.Next()) {
        if (tickets_on) {
          Log("Diário de impressão: imprime os tickets pendentes do pedido NRVENDARESTAUX:" +
              owed.Text("NRVENDAREST"));
        }
        PrintOrder(sources, tickets_on);
      }
    }
  } catch (const std::exception& e) {
    Log(std::string("Método \"ImprimePendentes\": Erro -> ") + LogText(e.what()));
  }
  CloseDownload();
}

void SyncRun::PrintCancellations(Dataset& cancellations) {
  for (std::string_view column : kCancellationColumns) {
    MontaArquivoPedidoCanc_(s_, cancellations, column);
  }
}

void SyncRun::ConfirmToServer() {
  if (!central_.Connected()) return;
  if (sets_.cdsVendaRest.IsEmpty() && sets_.cdsPedidosCanc.IsEmpty()) return;
  // The server forgets what it is told the store has; only committed rows may be named.
  if (s_.db.InTransaction()) {
    throw std::logic_error("transação aberta: pedidos não confirmados ao servidor");
  }
  const RestartHold hold(s_.globals);
  try {
    central_.UpdateSincronismo(sets_.cdsVendaRest.Packet(), sets_.cdsPedidosCanc.Packet());
    Log("Atualiza status para sincronizado");
  } catch (const std::exception& e) {
    Log(std::string("Erro: UpdateSincronismo -> ") + LogText(e.what()));
  }
}

void SyncRun::DispatchToRouter() {
  Log("Utiliza Roteirizador: " + s_.globals.gIDUTILINTROT);
  cdsRoteirizador_ = CarregaConfigRot(s_, s_.globals.gCDFILIAL, s_.globals.gCDLOJA);
  if (ConfigRotCampo(cdsRoteirizador_, "IDUTILINTROT") == "S") EnviarPedidoRot(s_);
}

void SyncRun::CloseDownload() {
  for (Dataset* set : sets_.InDownloadOrder()) set->Clear();
}

void SyncRun::LogRetorno() {
  if (retorno_.IsText()) Log("Retorno KRV - " + LogText(retorno_.AsText()));
}

}  // namespace zlv
