#include "central/hub_store.h"

#include <utility>

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

std::vector<StorePresence> AssemblePresences(const std::vector<StoreRecord>& registry,
                                             std::vector<StoreCallRecord> calls,
                                             const std::vector<StorePresence>& orders) {
  std::map<std::pair<std::string, std::string>, StorePresence> stores;
  const auto at = [&stores](const std::string& branch, const std::string& store) -> auto& {
    StorePresence& presence = stores[{branch, store}];
    presence.store.branch = branch;
    presence.store.store = store;
    return presence;
  };
  for (const StoreRecord& record : registry) {
    StorePresence& presence = at(record.branch, record.store);
    presence.store = record;
    presence.registered = true;
  }
  for (StoreCallRecord& call : calls) at(call.branch, call.store).calls.push_back(std::move(call));
  for (const StorePresence& counted : orders) {
    StorePresence& presence = at(counted.store.branch, counted.store.store);
    presence.queued = counted.queued;
    presence.handed_out = counted.handed_out;
    presence.oldest_waiting_age_s = counted.oldest_waiting_age_s;
    presence.stuck = counted.stuck;
    presence.received = counted.received;
    presence.needs_reconciliation = counted.needs_reconciliation;
  }
  std::vector<StorePresence> presences;
  presences.reserve(stores.size());
  for (auto& [key, presence] : stores) presences.push_back(std::move(presence));
  return presences;
}

const char* const kUploadStatesUpdate =
    "IDSTCOMANDA = CASE WHEN CENTRAL_UPLOAD.SGSEXOCON = 'D' THEN CENTRAL_UPLOAD.IDSTCOMANDA "
    "ELSE excluded.IDSTCOMANDA END, SGSEXOCON = CASE WHEN CENTRAL_UPLOAD.SGSEXOCON = 'D' "
    "THEN 'D' ELSE excluded.SGSEXOCON END";

}  // namespace zlv
