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

}  // namespace zlv
