#include "sync/upload.h"

#include <exception>

#include "bizlib/log_text.h"
#include "data/filter.h"

namespace zlv {

namespace {

// The datasets a batch filters to its sales, in the order of the AtualizaPedidos slots.
constexpr int kBatchSets = 5;
// AtualizaPedidos slots: the five packets, then the branch and the store.
constexpr int kAtualizaPedidosSlots = 7;
// AtualizaHistPedCons slots: the rows, then their orders.
constexpr int kHistorySlots = 2;
// The answer packet's place in the AtualizaPedidos result.
constexpr size_t kAnswerElement = 1;

}  // namespace

std::string BatchFilter(const std::vector<std::string>& sales) {
  std::string list;
  for (const std::string& sale : sales) {
    if (!list.empty()) list += ",";
    list += QuoteFilterValue(sale);
  }
  return "NRVENDAREST in (" + list + ")";
}

OrderStateUpload::OrderStateUpload(Services& services, CentralClient& central, DownloadSets& sets)
    : s_(services),
      central_(central),
      sets_(sets),
      status_(services),
      adqVendaRest_(services.db, "adqVendaRest"),
      adqComandaVen_(services.db, "adqComandaVen"),
      adqItComandaVen_(services.db, "adqItComandaVen"),
      adqMovCaixaDLV_(services.db, "adqMovCaixaDLV"),
      adqConsumidor_(services.db, "adqConsumidor"),
      adqHistPedCons_(services.db, "adqHistPedCons"),
      adqHistPedConsAux_(services.db, "adqHistPedConsAux") {}

void OrderStateUpload::Run(const std::string& cdfilial, const std::string& cdloja,
                           Variant& retorno) {
  UploadOrders(cdfilial, cdloja, retorno);
  try {
    UploadHistory(cdfilial, cdloja);
  } catch (const std::exception& e) {
    s_.log.GravaLog(std::string("Metodo \"SincronizaDLV\" - Atualiza HISTPEDCONS: Erro -> ") +
                    LogText(e.what()));
  }
}

DataPacket OrderStateUpload::AbreConsultaLoja(NamedStatement& query, const std::string& cdfilial,
                                              const std::string& cdloja) {
  query.Close();
  query.SetParam("P_CDFILIAL", cdfilial);
  query.SetParam("P_CDLOJA", cdloja);
  DataPacket rows = query.Packet();
  query.Close();  // the rows live on in the datasets; the statement need not hold them too
  return rows;
}

void OrderStateUpload::UploadOrders(const std::string& cdfilial, const std::string& cdloja,
                                    Variant& retorno) {
  // Filtering and copying move a dataset's cursor: the batches are cut from this copy so the
  // cursor of cdsVendaRest, which walks the sales, stays where it is.
  Dataset batch_copy;
  const DataPacket vendas = AbreConsultaLoja(adqVendaRest_, cdfilial, cdloja);
  const DataPacket comandas = AbreConsultaLoja(adqComandaVen_, cdfilial, cdloja);
  const DataPacket itens = AbreConsultaLoja(adqItComandaVen_, cdfilial, cdloja);
  const DataPacket pagamentos = AbreConsultaLoja(adqMovCaixaDLV_, cdfilial, cdloja);
  const DataPacket consumidores = AbreConsultaLoja(adqConsumidor_, cdfilial, cdloja);

  Dataset& cdsVendaRest = sets_.cdsVendaRest;
  Dataset& cdsItComandaVen = sets_.cdsItComandaVen;
  cdsVendaRest.LoadPacket(vendas);
  batch_copy.LoadPacket(vendas);
  sets_.cdsComandaVen.LoadPacket(comandas);
  cdsItComandaVen.LoadPacket(itens);
  sets_.cdsMovCaixaDlv.LoadPacket(pagamentos);
  sets_.cdsCons.LoadPacket(consumidores);

  cdsItComandaVen.SetFiltered(false);
  cdsVendaRest.SetFiltered(false);
  std::vector<std::string> sales;
  cdsVendaRest.First();
  int counter = 0;

  s_.log.GravaLog("AtualizaPedidos -> status e NRVENDARESTAUX");
  s_.log.GravaLog(
      "Quantidade a ser enviada ao servidor: " + std::to_string(cdsVendaRest.RecordCount()) +
      "  (" + std::to_string(cdsItComandaVen.RecordCount()) + ")");

  while (!cdsVendaRest.Eof()) {
    ++counter;
    sales.push_back(cdsVendaRest.Text("NRVENDAREST"));
    const bool last = cdsVendaRest.RecNo() == cdsVendaRest.RecordCount();
    if (counter < kUploadBatchSize && !last) {
      cdsVendaRest.Next();
      continue;
    }
    try {
      SendBatch(batch_copy, sales, cdfilial, cdloja, retorno);
    } catch (const std::exception& e) {
      s_.log.GravaLog(std::string("Método \"AtualizaPedidos\": Erro -> ") + LogText(e.what()));
      if (retorno.IsText()) s_.log.GravaLog("Retorno KRV - " + LogText(retorno.AsText()));
    }
    batch_copy.SetFiltered(false);
    batch_copy.SetFilter("");
    sales.clear();
    counter = 0;
    if (last) break;
    cdsVendaRest.Next();
  }
}

void OrderStateUpload::SendBatch(Dataset& batch_copy, const std::vector<std::string>& sales,
                                 const std::string& cdfilial, const std::string& cdloja,
                                 Variant& retorno) {
  Dataset* const filtered[kBatchSets] = {&batch_copy, &sets_.cdsComandaVen, &sets_.cdsItComandaVen,
                                         &sets_.cdsMovCaixaDlv, &sets_.cdsCons};
  const std::string filter = BatchFilter(sales);
  for (Dataset* set : filtered) set->SetFiltered(false);
  for (Dataset* set : filtered) {
    set->SetFilter(filter);
    set->SetFiltered(true);
  }

  std::vector<Variant> args;
  args.reserve(kAtualizaPedidosSlots);
  for (Dataset* set : filtered) args.emplace_back(set->CopyFiltered());
  args.emplace_back(cdfilial);
  args.emplace_back(cdloja);

  const Dataset& cdsVendaRest = sets_.cdsVendaRest;
  s_.log.GravaLog("Enviando " + std::to_string(cdsVendaRest.RecNo()) + " de " +
                  std::to_string(cdsVendaRest.RecordCount()));
  retorno = central_.AtualizaPedidos(args);

  if (retorno.IsText()) {
    s_.log.GravaLog("Retorno KRV.AtualizaPedidos : " + LogText(retorno.AsText()));
    return;
  }
  CycleActivity& activity = s_.globals.cycle_activity;
  activity.upload_answered = ReadInstant(s_.clock);
  activity.counters.sales_uploaded += static_cast<std::int64_t>(sales.size());
  if (!retorno.IsEmptyOrNull()) ApplyAnswer(retorno, cdfilial, cdloja);
}

void OrderStateUpload::ApplyAnswer(const Variant& retorno, const std::string& cdfilial,
                                   const std::string& cdloja) {
  cdsRetComandaVen_.LoadPacket(retorno.AsArray().at(kAnswerElement).AsPacket());
  cdsRetComandaVen_.SetFiltered(false);
  for (cdsRetComandaVen_.First(); !cdsRetComandaVen_.Eof(); cdsRetComandaVen_.Next()) {
    const std::string code = cdsRetComandaVen_.Text("SGSEXOCON");
    if (code == "S") {
      status_.AtualizaNrVendaRestAux(cdfilial, cdloja, cdsRetComandaVen_.Text("NRVENDAREST"),
                                     cdsRetComandaVen_.Text("NRVENDARESTAUX"));
    } else if (code == "D") {
      status_.PedidoSincronizado(cdfilial, cdloja, cdsRetComandaVen_.Text("NRVENDAREST"));
    }
  }
}

void OrderStateUpload::UploadHistory(const std::string& cdfilial, const std::string& cdloja) {
  cdsHistPedCons_.LoadPacket(AbreConsultaLoja(adqHistPedCons_, cdfilial, cdloja));
  cdsHistPedConsAux_.LoadPacket(AbreConsultaLoja(adqHistPedConsAux_, cdfilial, cdloja));
  if (cdsHistPedCons_.IsEmpty()) return;

  std::vector<Variant> args;
  args.reserve(kHistorySlots);
  args.emplace_back(cdsHistPedCons_.Packet());
  args.emplace_back(cdsHistPedConsAux_.Packet());
  const Variant answer = central_.AtualizaHistPedCons(args);
  cdsHistPedConsRet_.LoadPacket(answer.AsPacket());
  for (cdsHistPedConsRet_.First(); !cdsHistPedConsRet_.Eof(); cdsHistPedConsRet_.Next()) {
    status_.AtualizaNrSeqHistPed(cdfilial, cdloja, cdsHistPedConsRet_.Text("NRVENDAREST"),
                                 cdsHistPedConsRet_.Text("NRCOMANDA"),
                                 cdsHistPedConsRet_.Text("NRSEQHISTPED"));
  }
}

}  // namespace zlv
