// MontaArquivoPedidoCanc_: for every order of cdsPedidosCanc (the run's cancellations, rows
// with the central CDFILIAL and NRVENDAREST and the CDVENDEDOR), one cancellation ticket per
// production printer that received items of the order, "<printer><order>C_<store>.txt" for
// NRSEQIMPRPROD and "<printer><order>C2_<store>.txt" for NRSEQIMPRPROD2 (any other column name
// is taken as NRSEQIMPRPROD). The items are repeated as the kitchen tickets showed them.
//
// The header's external number, table, consumer and observation come from the cancelled
// order's own sale and order tab in the store database, never from the datasets of the
// run's new orders.
//
// Walks cdsPedidosCanc from the first row and leaves it at its end. A failure on one order is
// logged ("Método \"MontaArquivoPedidoCanc_<column>\": Erro -> ...") and the walk goes on.
// Main thread only; not re-entrant.
#pragma once

#include <string_view>

#include "data/dataset.h"
#include "store/services.h"

namespace zlv {

void MontaArquivoPedidoCanc_(Services& services, Dataset& cdsPedidosCanc, std::string_view column);

}  // namespace zlv
