// What InserePedido writes inside one order tab: its items (ITCOMANDAVEN) with their product
// checks, the items' observations (OBSITCOMANDAVEN), compositions (ITCOMANDAEST) and their
// observations (OBSITCOMANDAEST), and loyalty points (MOVPONTOCONSAUX); and, once per order,
// its payments (MOVCAIXADLV). Every row is written under its own guard: a failure is
// recorded in the OrderUnit and the remaining rows are still attempted.
//
// Main thread only, inside the order's open transaction.
#pragma once

#include <string>

#include "store/order_unit.h"

namespace zlv {

// The new local numbers of the current order tab of cdsComandaVen.
struct OrderTabNumbers {
  std::string nrcomanda;
  std::string nrseqprodcup;  // product sequence number, on every item of the order tab
  std::string nrreqextcmd;   // external request number
};

// Writes the order tab's items, all with the order tab's call code, and what hangs below them.
void WriteOrderTabContents(OrderUnit& unit, const OrderTabNumbers& tab);

// Writes the order's payment rows.
void WriteOrderPayments(OrderUnit& unit);

}  // namespace zlv
