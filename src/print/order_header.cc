#include "print/order_header.h"

#include "bizlib/messages.h"
#include "bizlib/text.h"

namespace zlv {

namespace {

// Dates up to this year are placeholders for "not scheduled".
constexpr int kLastUnscheduledYear = 2000;

}  // namespace

std::optional<DateTime> ScheduledTime(const Variant& dthragendada) {
  if (EmptyString(dthragendada.AsText())) return std::nullopt;
  DateTime when = dthragendada.AsDateTime();
  if (when.Civil().year <= kLastUnscheduledYear) return std::nullopt;
  return when;
}

ExternalNumberLines ExternalNumber(const std::string& idorgcmdvenda,
                                   const std::string& nrcomandaext, const std::string& nrmesa,
                                   const std::string& nrmesaeattake) {
  ExternalNumberLines out;
  if (EmptyString(nrcomandaext)) return out;
  const std::string number_label = Msg(idorgcmdvenda);
  if (!EmptyString(number_label)) out.number = number_label + nrcomandaext;
  const std::string table_label = Msg(idorgcmdvenda + "_MESA");
  if (!EmptyString(nrmesa) && !EmptyString(table_label)) {
    out.table = table_label + (EmptyString(nrmesaeattake) ? nrmesa : nrmesaeattake);
  }
  return out;
}

void AddOrderTail(TicketLines& lines, const OrderHeader& order) {
  ExternalNumberLines external =
      ExternalNumber(order.idorgcmdvenda, order.nrcomandaext, order.nrmesa, order.nrmesaeattake);
  if (!external.number.empty()) lines.Add(external.number);
  if (!external.table.empty()) lines.Add(external.table);
  if (!EmptyString(order.dsconsumidor)) {
    lines.Add("CONSUMIDOR.: " + order.dsconsumidor);
  } else if (!EmptyString(order.nmconsumidor)) {
    lines.Add("CONSUMIDOR.: " + order.nmconsumidor);
  }
  if (!EmptyString(order.cdvendedor)) lines.Add("GARCOM.....: " + order.cdvendedor);
  if (!EmptyString(order.dsobscomanda)) lines.Add("OBS........: " + order.dsobscomanda);
  lines.AddRule();
}

}  // namespace zlv
