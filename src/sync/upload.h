// The upload phase of a synchronisation run: tells the central server what the store did with
// its delivery orders, and applies the server's answers at once.
//
// Order state: every delivery sale of the store not yet marked synchronised goes up with its
// order tabs, items, payments and consumer in batches of at most kUploadBatchSize sales
// (AtualizaPedidos); the per-sale answer records the server's sale number ("S") or marks the
// order synchronised ("D"). A batch that fails is logged and the next batch goes on.
// Status history: the rows not sent yet go up in one call (AtualizaHistPedCons) and each row
// the server accepted is marked sent.
//
// The sale, order-tab, item, payment and consumer datasets are the run's DownloadSets (the form
// reuses them); their filters are left on the last batch's sales. Owns its statements and the
// answer datasets. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "data/dataset.h"
#include "data/variant.h"
#include "database/named_statement.h"
#include "store/download_sets.h"
#include "store/services.h"
#include "sync/central_client.h"
#include "sync/status_updates.h"

namespace zlv {

// Sales per AtualizaPedidos call: keeps each request and its answer small enough for the
// server to take within the client's time-out, whatever the backlog of a store.
inline constexpr int kUploadBatchSize = 100;

class OrderStateUpload {
 public:
  OrderStateUpload(Services& services, CentralClient& central, DownloadSets& sets);

  // The state upload, then the history upload. `retorno` is the run's kept remote result:
  // each AtualizaPedidos answer is kept there. Opening or loading the store's rows is not
  // caught here (the run's handler logs it, and the history upload is skipped).
  void Run(const std::string& cdfilial, const std::string& cdloja, Variant& retorno);

 private:
  void UploadOrders(const std::string& cdfilial, const std::string& cdloja, Variant& retorno);
  void SendBatch(Dataset& batch_copy, const std::vector<std::string>& sales,
                 const std::string& cdfilial, const std::string& cdloja, Variant& retorno);
  void ApplyAnswer(const Variant& retorno, const std::string& cdfilial, const std::string& cdloja);
  void UploadHistory(const std::string& cdfilial, const std::string& cdloja);
  DataPacket AbreConsultaLoja(NamedStatement& query, const std::string& cdfilial,
                              const std::string& cdloja);

  Services& s_;
  CentralClient& central_;
  DownloadSets& sets_;
  StatusUpdates status_;
  NamedStatement adqVendaRest_, adqComandaVen_, adqItComandaVen_, adqMovCaixaDLV_, adqConsumidor_;
  NamedStatement adqHistPedCons_, adqHistPedConsAux_;
  Dataset cdsRetComandaVen_;
  Dataset cdsHistPedCons_, cdsHistPedConsAux_, cdsHistPedConsRet_;
};

// The filter of a batch's rows: NRVENDAREST in ('15','16'), each number quoted.
std::string BatchFilter(const std::vector<std::string>& sales);

}  // namespace zlv
