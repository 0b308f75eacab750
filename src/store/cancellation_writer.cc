#include "store/cancellation_writer.h"

#include <exception>
#include <set>
#include <utility>

#include "bizlib/log_text.h"
#include "database/named_statement.h"

namespace zlv {

namespace {

// Kitchen display status of a withdrawn item.
constexpr const char* kKdsCancelled = "C";

bool HasRow(NamedStatement& query) {
  query.Open();
  const bool found = !query.IsEmpty();
  query.Close();
  return found;
}

void ApplyCancellation(Services& services, const std::string& cdfilial,
                       const std::string& nrvendarest) {
  NamedStatement order_tabs(services.db, "acmUpdComandaVenCanc");
  order_tabs.SetParam("P_CDFILIAL", cdfilial);
  order_tabs.SetParam("P_NRVENDAREST", nrvendarest);
  order_tabs.Execute();

  NamedStatement items(services.db, "acmUpdItComandaVenCanc");
  items.SetParam("P_CDFILIAL", cdfilial);
  items.SetParam("P_NRVENDAREST", nrvendarest);
  items.Execute();

  ++services.globals.cycle_activity.counters.cancellations;
  services.log.GravaLog("Pedido cancelado no sistema. P_NRVENDAREST: " + nrvendarest);
  CancelaPedidoKDS(services, cdfilial, nrvendarest);
}

// Whether the cancellation was applied now.
bool ProcessCancellation(Services& services, const Dataset& row) {
  const std::string cdfilial = row.Text("CDFILIAL");
  const std::string nrvendarest = row.Text("NRVENDARESTAUX");

  // The central server names the local sale by number only: without this check a row naming
  // a table sale, another store's sale or a number reused since would cancel it. The store is
  // the run's own, not the row's: a row is as untrusted as the rest of the download.
  NamedStatement received(services.db, "adqBuscaPedidoRecebido");
  received.SetParam("P_CDFILIAL", services.globals.gCDFILIAL);
  received.SetParam("P_CDLOJA", services.globals.gCDLOJA);
  received.SetParam("P_NRVENDAREST", nrvendarest);
  received.SetParam("P_NRVENDARESTAUX", row.Text("NRVENDAREST"));
  const bool this_store =
      cdfilial == services.globals.gCDFILIAL && row.Text("CDLOJA") == services.globals.gCDLOJA;
  if (!this_store || row.Text("NRVENDAREST").empty() || !HasRow(received)) {
    services.log.GravaLog(
        "Não foi possivel cancelar o pedido porque ele não é um pedido de delivery recebido por "
        "esta loja. P_NRVENDAREST: " +
        nrvendarest + " NRVENDARESTAUX: " + row.Text("NRVENDAREST"));
    return false;
  }

  NamedStatement completed_sale(services.db, "adqBuscaVenda");
  completed_sale.SetParam("P_CDFILIAL", cdfilial);
  completed_sale.SetParam("P_NRVENDAREST", nrvendarest);
  completed_sale.SetParam("P_CDLOJA", row.Text("CDLOJA"));
  const bool has_completed_sale = HasRow(completed_sale);

  NamedStatement cancelled(services.db, "adqBuscaPedidoCanc");
  cancelled.SetParam("P_CDFILIAL", cdfilial);
  cancelled.SetParam("P_NRVENDAREST", nrvendarest);
  const bool already_cancelled = HasRow(cancelled);

  if (!has_completed_sale && !already_cancelled) {
    ApplyCancellation(services, cdfilial, nrvendarest);
    return true;
  }
  if (has_completed_sale) {
    services.log.GravaLog(
        "Não foi possivel cancelar o pedido porque ele já possui uma venda concluída. Para "
        "cancelar o pedido é necessário cancelar a venda manualmente. P_NRVENDAREST: " +
        nrvendarest);
  }
  if (already_cancelled) {
    services.log.GravaLog(
        "Não foi possivel cancelar o pedido porque ele já está cancelado. P_NRVENDAREST: " +
        nrvendarest);
  }
  return false;
}

}  // namespace

DataPacket InserePedidoCanc(Services& services, DownloadSets& sets) {
  services.log.GravaLog("Metodo -> \"InserePedidoCanc\"");
  Dataset& rows = sets.cdsPedidosCanc;
  std::set<std::pair<std::string, std::string>> applied;  // CDFILIAL, NRVENDARESTAUX
  for (rows.First(); !rows.Eof(); rows.Next()) {
    try {
      if (ProcessCancellation(services, rows)) {
        applied.emplace(rows.Text("CDFILIAL"), rows.Text("NRVENDARESTAUX"));
      }
    } catch (const std::exception& e) {
      services.log.GravaLog("CLIENTE:" + rows.Text("CDCLIENTE") + " " + "NRVENDARESTAUX:" +
                            rows.Text("NRVENDARESTAUX") + " " + "ERRO:" + LogText(e.what()));
    }
  }
  DataPacket packet = rows.Packet();
  if (applied.empty()) {
    packet.rows.clear();
    return packet;
  }
  const auto branch = static_cast<std::size_t>(packet.FieldIndex("CDFILIAL"));
  const auto sale = static_cast<std::size_t>(packet.FieldIndex("NRVENDARESTAUX"));
  std::erase_if(packet.rows, [&](const std::vector<Variant>& row) {
    return applied.count({row.at(branch).AsText(), row.at(sale).AsText()}) == 0;
  });
  return packet;
}

void CancelaPedidoKDS(Services& services, const std::string& cdfilial,
                      const std::string& nrvendarest) {
  try {
    NamedStatement related(services.db, "adqItPedidoZlvRel");
    related.SetParam("P_CDFILIAL", cdfilial);
    related.SetParam("P_NRVENDAREST", nrvendarest);
    if (!HasRow(related)) {
      services.log.GravaLog("CancelaPedidoKDS - ITPEDIDOZLV : P_NRVENDAREST: " + nrvendarest);
      NamedStatement update(services.db, "acmUpdSitItPedidoZlv");
      update.SetParam("P_CDFILIAL", cdfilial);
      update.SetParam("P_NRVENDAREST", nrvendarest);
      update.SetParam("P_IDSITITPEDZLV", kKdsCancelled);
      update.SetParam("P_DTCANCITPED", services.clock.Now());
      update.Execute();
    } else {
      services.log.GravaLog("CancelaPedidoKDS - ITPEDIDOZLVREL : P_NRVENDAREST: " + nrvendarest);
      NamedStatement update(services.db, "acmUpdSitItPedidoZlvRel");
      update.SetParam("P_CDFILIAL", cdfilial);
      update.SetParam("P_NRVENDAREST", nrvendarest);
      update.SetParam("P_IDSITITPEDZLV", kKdsCancelled);
      update.Execute();
    }
  } catch (const std::exception& e) {
    // The only caller passes the cancellation's NRVENDARESTAUX as the sale number.
    services.log.GravaLog("CancelaPedidoKDS - NRVENDAREST: " + nrvendarest + " " +
                          "ERRO:" + LogText(e.what()));
  }
}

}  // namespace zlv
