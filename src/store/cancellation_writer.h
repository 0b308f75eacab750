// InserePedidoCanc: applies the cancellations of a download (cdsPedidosCanc) to the store
// database: the order's order tabs become "4", its items 6, and the order leaves the kitchen
// display (CancelaPedidoKDS). A cancellation is refused, with a log line, when the store has
// already completed a sale for the order on a cash register that does not print delivery
// receipts by itself, or when the order is already cancelled.
//
// Works inside the caller's transaction and commits nothing; a failing cancellation is logged
// and the next one processed. Main thread only.
#pragma once

#include <string>

#include "data/data_packet.h"
#include "store/download_sets.h"
#include "store/services.h"

namespace zlv {

// Returns the rows of cdsPedidosCanc it applied now: the cancellations whose tickets are owed.
// A refused one is not among them, nor one already applied, which is the server handing out
// again a cancellation whose confirmation it never got.
DataPacket InserePedidoCanc(Services& services, DownloadSets& sets);

// Sets the order's kitchen display items to "C": those of ITPEDIDOZLVREL when it has any for
// the order, else those of ITPEDIDOZLV with the cancellation time. Logs its own failure.
void CancelaPedidoKDS(Services& services, const std::string& cdfilial,
                      const std::string& nrvendarest);

}  // namespace zlv
