// MontaArquivoPedido_: the kitchen tickets of one order for one PRODLOJA printer column, one
// file per printer in the ticket folder:
//   NRSEQIMPRPROD  -> "<printer><order>P_<store>.txt"   (first production printer, "PEDIDO")
//   NRSEQIMPRPROD2 -> "<printer><order>P2_<store>.txt"  (second production printer, "PEDIDO")
//   NRSEQIMPRPUXA  -> "<printer><order>U_<store>.txt"   (puxa report, "RELATORIO DO PUXA")
// Any other column name is taken as NRSEQIMPRPROD.
//
// Mode "D" (download run): the current row of cdsVendaRest is the downloaded sale (central
// numbers); the store rows are found through NRVENDARESTAUX. Mode "E" (scheduled release): the
// rows are the store's own. cdsComandaVen is left filtered to the sale's order tabs that are
// not cancelled; the filter of cdsCons is switched off at the end.
//
// Failures are logged ("Método \"MontaArquivoPedido_<column>\": Erro -> ...") and end the call;
// tickets already written stay. Main thread only; not re-entrant.
#pragma once

#include <string_view>

#include "print/ticket_sources.h"
#include "store/services.h"

namespace zlv {

void MontaArquivoPedido_(Services& services, TicketSources& sources, std::string_view column,
                         std::string_view mode);

}  // namespace zlv
