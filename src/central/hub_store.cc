#include "central/hub_store.h"

namespace zlv {

HubTransaction::HubTransaction(HubStore& store) : store_(store) { store_.Begin(); }

HubTransaction::~HubTransaction() {
  if (!open_) return;
  try {
    store_.Rollback();
  } catch (...) {
    // Already failing: the error that brought us here is the one to report.
  }
}

void HubTransaction::Commit() {
  store_.Commit();
  open_ = false;
}

void CountStore(StoreCounts& counts,
                const std::function<int(const std::string&, const std::string&)>& count) {
  counts.orders_pending = count("CENTRAL_ORDER", "STATE = 'PENDING'");
  counts.orders_confirmed = count("CENTRAL_ORDER", "STATE = 'CONFIRMED'");
  counts.cancels_pending = count("CENTRAL_CANCEL", "STATE = 'PENDING'");
  counts.cancels_waiting = count("CENTRAL_CANCEL C",
                                 "STATE = 'PENDING' AND NOT EXISTS (SELECT 1 FROM CENTRAL_UPLOAD U "
                                 "WHERE U.CDFILIAL = C.CDFILIAL AND U.CDLOJA = C.CDLOJA AND "
                                 "U.NRVENDARESTAUX = C.NRVENDAREST)");
  counts.cancels_confirmed = count("CENTRAL_CANCEL", "STATE = 'CONFIRMED'");
  counts.sales_uploaded = count("CENTRAL_UPLOAD", "");
  counts.sales_answered_s = count("CENTRAL_UPLOAD", "SGSEXOCON = 'S'");
  counts.sales_answered_d = count("CENTRAL_UPLOAD", "SGSEXOCON = 'D'");
  counts.history_rows = count("CENTRAL_HISTORY", "");
}

const char* const kUploadStatesUpdate =
    "IDSTCOMANDA = CASE WHEN CENTRAL_UPLOAD.SGSEXOCON = 'D' THEN CENTRAL_UPLOAD.IDSTCOMANDA "
    "ELSE excluded.IDSTCOMANDA END, SGSEXOCON = CASE WHEN CENTRAL_UPLOAD.SGSEXOCON = 'D' "
    "THEN 'D' ELSE excluded.SGSEXOCON END";

}  // namespace zlv
