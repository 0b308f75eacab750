// MontaArquivoEntrega: the delivery ticket ("Relatorio de Entrega") of the order on the
// current row of cdsVendaRest, when the cash register prints delivery tickets automatically
// (CAIXA.IDIMPAUTENTREG = 'S'). One file, 42 columns wide, accents removed:
//   <ticket folder>/<delivery printer><order number>E<gCDLOJA>_<register's CDLOJA>.txt
// written in one piece; an order printed again replaces its earlier file.
//
// Mode "D": cdsVendaRest holds the downloaded sale (central numbers, found in the store through
// NRVENDARESTAUX); mode "E": the store's own sale (scheduled release). cdsComandaVen is left
// filtered to the sale's order tabs that are not cancelled.
//
// Failures are logged ("Método \"MontaArquivoEntrega\": Erro -> ...") and no file is written.
// Main thread only.
#pragma once

#include <string_view>

#include "print/ticket_sources.h"
#include "store/services.h"

namespace zlv {

void MontaArquivoEntrega(Services& services, TicketSources& sources, std::string_view mode);

}  // namespace zlv
