// The form's shared datasets the ticket writers read an order from: the sale (its current
// row is the order being printed), the order tabs and the consumers. The download run fills
// them from the central server; the scheduled release from the store database.
//
// Main thread only; the writers filter cdsComandaVen and cdsCons but never move the cursor
// of cdsVendaRest.
#pragma once

#include "data/dataset.h"

namespace zlv {

struct TicketSources {
  Dataset& cdsVendaRest;
  Dataset& cdsComandaVen;
  Dataset& cdsCons;
};

// Filters cdsComandaVen to the order tabs of the current sale that are not cancelled
// (IDSTCOMANDA <> '4') and stands on the first; false when there is none. The filter stays.
bool FilterLiveOrderTabs(TicketSources& sources);

}  // namespace zlv
