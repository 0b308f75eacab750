#include "print/ticket_sources.h"

#include "data/filter.h"

namespace zlv {

bool FilterLiveOrderTabs(TicketSources& sources) {
  const Dataset& sale = sources.cdsVendaRest;
  Dataset& tabs = sources.cdsComandaVen;
  tabs.SetFilter("CDFILIAL = " + QuoteFilterValue(sale.Text("CDFILIAL")) + " AND NRVENDAREST = " +
                 QuoteFilterValue(sale.Text("NRVENDAREST")) + " AND IDSTCOMANDA <> '4'");
  tabs.SetFiltered(true);
  tabs.First();
  return !tabs.Eof();
}

}  // namespace zlv
