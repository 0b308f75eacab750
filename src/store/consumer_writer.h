// InsereConsumidor and InsereConsumiFilial: bring the downloaded consumers (cdsCons into
// CONSUMIDOR) and consumer-per-branch rows (cdsConsumiFilial into CONSUMIFILIAL) into the
// store database. A missing row is inserted; an existing one is overwritten only when the
// downloaded update time stamp is strictly later; every local column is written from the
// downloaded column of the same name (a downloaded set lacking one fails that row).
//
// InsereConsumidor gives each consumer its own transaction and must be called outside any;
// InsereConsumiFilial works inside the caller's transaction. A failing row is logged and the
// next one processed. Both leave their dataset's cursor at the end. Main thread only.
#pragma once

#include "store/download_sets.h"
#include "store/services.h"

namespace zlv {

void InsereConsumidor(Services& services, DownloadSets& sets);
void InsereConsumiFilial(Services& services, DownloadSets& sets);

}  // namespace zlv
