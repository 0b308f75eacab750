// SincronizaENC: the release of scheduled orders ("ENC_" order tabs) to the kitchen. An
// order is due when the database's clock reaches its DTHRAGENDADA minus the store's production
// lead time (LOJA.NRTEMPOPRODUCAO minutes, 180 when unset). Each due order, in the order its
// sale was opened, gets its three kitchen tickets and its delivery ticket in mode "E" and is
// then marked released (IDSINCAGENDA = 'S'), so it is printed once.
//
// Fills the form's cdsVendaRest, cdsComandaVen and cdsCons with the due orders. The
// synchronisation timer is switched off while the release runs and on again however it ends.
// A failure of the release's own statements is logged ("Metodo \"SincronizaENC\": Erro -> ")
// and ends it; orders already marked stay marked. Main thread only, inside the timer tick.
#pragma once

#include <functional>
#include <string>

#include "print/ticket_sources.h"
#include "store/services.h"

namespace zlv {

// Switches the synchronisation timer (timSincronismo) on or off.
using TimerSwitch = std::function<void(bool enabled)>;

void SincronizaENC(Services& services, TicketSources& sources, const std::string& cdfilial,
                   const std::string& cdcaixa, const TimerSwitch& timer);

// The lead time text as whole minutes; throws std::invalid_argument for anything else.
int LeadTimeMinutes(const std::string& text);

}  // namespace zlv
