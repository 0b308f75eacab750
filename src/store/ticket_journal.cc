#include "store/ticket_journal.h"

#include <exception>

#include "store/own_tables.h"

namespace zlv {

TicketJournal::TicketJournal(Database& db)
    : db_(db), insert_(db, "acmInsZlvSincImpPend"), delete_(db, "acmDelZlvSincImpPend") {}

bool TicketJournal::Prepare() {
  if (!on_) on_ = TabelaExiste(db_, kTabelaDiario);
  return on_;
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

bool TicketJournal::Clear(const std::string& cdfilial, const std::string& cdloja,
                          const std::string& nrvendarestaux) {
  if (!on_) return true;
  try {
    Delete(cdfilial, cdloja, nrvendarestaux);
    return true;
  } catch (const std::exception&) {
    // Throwing would stop the run before it confirms the order to the server; reprinting it
    // at the next run would print it twice. Remember it instead.
    printed_not_cleared_.emplace(cdfilial, cdloja, nrvendarestaux);
    return false;
  }
}

void TicketJournal::Delete(const std::string& cdfilial, const std::string& cdloja,
                           const std::string& nrvendarestaux) {
  delete_.SetParam("P_CDFILIAL", cdfilial);
  delete_.SetParam("P_CDLOJA", cdloja);
  delete_.SetParam("P_NRVENDARESTAUX", nrvendarestaux);
  delete_.Execute();
}

void TicketJournal::RetryClears() {
  for (auto it = printed_not_cleared_.begin(); it != printed_not_cleared_.end();) {
    try {
      Delete(std::get<0>(*it), std::get<1>(*it), std::get<2>(*it));
      it = printed_not_cleared_.erase(it);
    } catch (const std::exception&) {
      ++it;
    }
  }
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
  RetryClears();
  NamedStatement sales(db_, "adqZlvSincImpPend");
  cdsVendaRest.LoadPacket(Owed(sales, cdfilial, cdloja));
  // Printed by this process; only their rows could not be deleted yet.
  for (cdsVendaRest.First(); !cdsVendaRest.Eof();) {
    const Key key{cdsVendaRest.Text("CDFILIAL"), cdsVendaRest.Text("CDLOJA"),
                  cdsVendaRest.Text("NRVENDAREST")};
    if (printed_not_cleared_.count(key) != 0) {
      cdsVendaRest.Delete();
    } else {
      cdsVendaRest.Next();
    }
  }
  if (cdsVendaRest.IsEmpty()) return false;
  NamedStatement tabs(db_, "adqComandaVenImpPend");
  cdsComandaVen.LoadPacket(Owed(tabs, cdfilial, cdloja));
  NamedStatement consumers(db_, "adqConsumidorImpPend");
  cdsCons.LoadPacket(Owed(consumers, cdfilial, cdloja));
  return true;
}

}  // namespace zlv
