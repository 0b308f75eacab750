#include "storedb/ticket_journal.h"

namespace zlv {

TicketJournal::TicketJournal(Database& db)
    : db_(db), insert_(db, "acmInsZlvSincImpPend"), delete_(db, "acmDelZlvSincImpPend") {}

void TicketJournal::Prepare() {
  if (on_) return;
  NamedStatement(db_, "acmCriaZlvSincImpPend").Execute();
  on_ = true;
}

void TicketJournal::Record(const std::string& cdfilial, const std::string& cdloja,
                           const std::string& nrvendarest, const std::string& nrvendarestaux) {
  if (!on_) return;
  insert_.SetParam("P_CDFILIAL", cdfilial);
  insert_.SetParam("P_NRVENDAREST", nrvendarest);
  insert_.SetParam("P_CDLOJA", cdloja);
  insert_.SetParam("P_NRVENDARESTAUX", nrvendarestaux);
  insert_.Execute();
}

void TicketJournal::Clear(const std::string& cdfilial, const std::string& cdloja,
                          const std::string& nrvendarestaux) {
  if (!on_) return;
  delete_.SetParam("P_CDFILIAL", cdfilial);
  delete_.SetParam("P_CDLOJA", cdloja);
  delete_.SetParam("P_NRVENDARESTAUX", nrvendarestaux);
  delete_.Execute();
}

DataPacket TicketJournal::Owed(NamedStatement& query, const std::string& cdfilial,
                               const std::string& cdloja) {
  query.SetParam("P_CDFILIAL", cdfilial);
  query.SetParam("P_CDLOJA", cdloja);
  return query.Packet();
}

bool TicketJournal::LoadOwed(const std::string& cdfilial, const std::string& cdloja,
                             Dataset& cdsVendaRest, Dataset& cdsComandaVen, Dataset& cdsCons) {
  // The upload leaves its batch filter on these sets, naming columns these rows lack.
  for (Dataset* set : {&cdsVendaRest, &cdsComandaVen, &cdsCons}) set->SetFiltered(false);
  NamedStatement sales(db_, "adqZlvSincImpPend");
  cdsVendaRest.LoadPacket(Owed(sales, cdfilial, cdloja));
  if (cdsVendaRest.IsEmpty()) return false;
  NamedStatement tabs(db_, "adqComandaVenImpPend");
  cdsComandaVen.LoadPacket(Owed(tabs, cdfilial, cdloja));
  NamedStatement consumers(db_, "adqConsumidorImpPend");
  cdsCons.LoadPacket(Owed(consumers, cdfilial, cdloja));
  return true;
}

}  // namespace zlv
