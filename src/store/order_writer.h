// InserePedido: writes the orders of a download (cdsVendaRest with its order tabs, items and
// payments in the other DownloadSets) into the store database, each order in its own
// transaction under new local numbers; the central sale number is kept in NRVENDARESTAUX.
//
// Each order ends in one of four ways:
//  - committed: its row stays in cdsVendaRest;
//  - failed: rolled back, recorded in LOGSINCDLV with a diagnosis, row removed;
//  - duplicate before insertion (the store already has it): nothing written, reported to the
//    central server as synchronised, row removed;
//  - duplicate at the end (the store held the central number and day under another consumer,
//    or a second copy appeared while writing): rolled back, reported to the central server as
//    synchronised so that it stops sending it, row removed; held under another consumer, it
//    is also recorded in LOGSINCDLV (one row naming both consumers) for the staff.
// So on return cdsVendaRest holds exactly the orders committed by this run, cursor at its end.
// With a ticket journal, each committed order's journal row is written in its transaction (the
// caller deletes it once the order's tickets are written); an order whose row cannot be written
// fails like any other.
// When the store database refuses to begin an order's transaction, that order and the ones
// after it are left out unwritten (logged "ERRO: " + the reason): the central server keeps them
// for the next run.
//
// Failures inside an order are caught and recorded; an exception from the other transaction
// calls or the log (outside every guard) leaves InserePedido. Main thread only.
#pragma once

#include "store/central_calls.h"
#include "store/download_sets.h"
#include "store/services.h"
#include "store/ticket_journal.h"

namespace zlv {

void InserePedido(Services& services, CentralCalls& central, DownloadSets& sets,
                  TicketJournal* journal = nullptr);

}  // namespace zlv
