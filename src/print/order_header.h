// The order data a kitchen or cancellation ticket prints above its items, and the header
// lines the tickets share: the external order number and table lines, the consumer, the
// waiter and the order's observation.
//
// Value types and pure functions; any thread.
#pragma once

#include <optional>
#include <string>

#include "data/variant.h"
#include "print/ticket_lines.h"

namespace zlv {

struct OrderHeader {
  std::string idorgcmdvenda;  // origin code
  std::string idretballoja;   // consumption mode
  Variant dthragendada;       // scheduled date and time
  std::string dspreventrega;  // expected delivery text
  std::string nrcomandaext;   // the marketplace's order number
  std::string dsconsumidor;   // consumer name typed on the order tab
  std::string nmconsumidor;   // consumer name of the consumer record
  std::string dsobscomanda;
  std::string nrmesa;
  std::string nrmesaeattake;
  std::string cdvendedor;
};

// The scheduled time when DTHRAGENDADA holds one after the year 2000 (earlier dates are the
// "no date" values of older databases).
std::optional<DateTime> ScheduledTime(const Variant& dthragendada);

// The external order number line (origin label + number) and the table line (the origin's
// "_MESA" label + the eat-in table or the table), each empty when it is not printed.
struct ExternalNumberLines {
  std::string number;
  std::string table;
};
ExternalNumberLines ExternalNumber(const std::string& idorgcmdvenda,
                                   const std::string& nrcomandaext, const std::string& nrmesa,
                                   const std::string& nrmesaeattake);

// The lines that end the header of a kitchen or cancellation ticket: external number and
// table, "CONSUMIDOR.: ", "GARCOM.....: ", "OBS........: " (each only when it has a value)
// and a rule.
void AddOrderTail(TicketLines& lines, const OrderHeader& order);

}  // namespace zlv
