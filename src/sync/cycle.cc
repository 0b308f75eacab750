#include "sync/cycle.h"

#include <exception>

#include "bizlib/log_text.h"
#include "print/scheduled_release.h"
#include "sync/download_run.h"

namespace zlv {

namespace {

// A server named by a host name rather than an address may have moved: its cached name is
// flushed so the next tick resolves it afresh.
bool NamedByHostName(const std::string& host) {
  return host.find("br") != std::string::npos || host.find("com") != std::string::npos;
}

}  // namespace

SyncCycle::SyncCycle(Services& services, StoreConnection& store, CentralClient& central,
                     SyncTimer& timer, std::function<void()> trim_memory,
                     std::function<void()> flush_dns)
    : services_(services),
      store_(store),
      central_(central),
      timer_(timer),
      flush_dns_(std::move(flush_dns)),
      run_(std::make_unique<SyncRun>(services, central, timer, std::move(trim_memory))),
      adqDados_(services.db, "adqDados"),
      adqVerifEncomenda_(services.db, "adqVerifEncomenda") {}

SyncCycle::~SyncCycle() = default;

void SyncCycle::timSincronismoTimer() {
  services_.globals.Touch(services_.clock);
  last_ = {};
  run_->tally() = {};
  if (!RestoreStoreConnection(store_, services_.log)) return;
  if (!central_.Connected()) ConnectCentral();
  if (central_.Connected()) {
    last_.server_reached = true;
    RunStores();
  } else {
    PrintOwedTickets();
  }
  ReleaseScheduledOrders();
}

CycleOutcome SyncCycle::last_outcome() const {
  CycleOutcome outcome = last_;
  outcome.orders = run_->tally();
  return outcome;
}

void SyncCycle::ConnectCentral() {
  try {
    central_.Connect();
  } catch (const std::exception& e) {
    last_.address_missing = dynamic_cast<const CentralAddressError*>(&e) != nullptr;
    services_.log.GravaLog("Sem conexão com o servidor " + central_.host() + ":" +
                           std::to_string(central_.port()) + " : Erro -> " + LogText(e.what()));
    if (NamedByHostName(central_.host())) {
      if (flush_dns_) flush_dns_();
      services_.log.GravaLog("ipconfig /flushdns");
    }
  }
}

void SyncCycle::AbreConsultaCaixa(NamedStatement& query) {
  query.Close();
  query.SetParam("P_CDFILIAL", services_.globals.gCDFILIAL);
  query.SetParam("P_CDCAIXA", services_.globals.gCDCAIXA);
  query.Open();
}

void SyncCycle::RunStores() {
  ForEachStore(true, [this](const std::string& cdloja) {
    // Copies: the run's callees read and may set the process-wide codes.
    run_->SincronizaDLV(std::string(services_.globals.gCDFILIAL), cdloja);
  });
}

// The orders are in the store already: their tickets need nothing from the central server, and
// the kitchen must not wait for it to come back.
void SyncCycle::PrintOwedTickets() {
  ForEachStore(false, [this](const std::string& cdloja) {
    run_->PrintOwedTickets(std::string(services_.globals.gCDFILIAL), cdloja);
  });
}

void SyncCycle::ForEachStore(bool log_branch_mode,
                             const std::function<void(const std::string&)>& action) {
  Globals& g = services_.globals;
  AbreConsultaCaixa(adqDados_);
  Dataset& lojas = adqDados_.Result();
  if (lojas.IsEmpty()) {
    action(g.gCDLOJA);
    return;
  }
  lojas.First();
  if (log_branch_mode && lojas.Text("IDSINCFILIALDLV") == "S") {
    services_.log.GravaLog("Sincronização por FILIAL");
  }
  for (; !lojas.Eof(); lojas.Next()) {
    g.gCDLOJA = lojas.Text("CDLOJA");
    action(g.gCDLOJA);
    if (lojas.Text("IDSINCFILIALDLV") == "N") break;
  }
}

void SyncCycle::ReleaseScheduledOrders() {
  Globals& g = services_.globals;
  AbreConsultaCaixa(adqVerifEncomenda_);
  const bool waiting =
      !adqVerifEncomenda_.IsEmpty() && !adqVerifEncomenda_.Field("CDFILIAL").AsText().empty();
  adqVerifEncomenda_.Close();
  if (!waiting) return;
  TicketSources sources = run_->ticket_sources();
  SincronizaENC(services_, sources, g.gCDFILIAL, g.gCDCAIXA,
                [this](bool enabled) { timer_.SetEnabled(enabled); });
}

}  // namespace zlv
