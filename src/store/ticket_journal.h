// TicketJournal: the synchroniser's record of the orders whose tickets are owed (table
// ZLVSINCIMPPEND, beside LOGSINCDLV and ZLVSINCEXECUTA).
//
// An order's tickets are written after its transaction commits and before the order is
// confirmed to the central server. A process that dies in between leaves the order in the store
// but unprinted, and the next download finds it as a duplicate and drops it. So the order writer
// adds a journal row inside the order's own transaction, the download run deletes it once the
// order's tickets are written, and the next run writes the tickets of the rows left over before
// it downloads anything. A ticket written again keeps its file name and replaces its earlier file.
//
// The table is made by the database scripts (store/own_tables.h). Until Prepare() has found it
// the journal is off: Record and Clear do nothing, so a store without it still gets its orders
// and tickets (without the protection). Main thread only; each call runs its statements on the
// store connection and throws their failures.
#pragma once

#include <set>
#include <string>
#include <tuple>

#include "data/dataset.h"
#include "database/named_statement.h"

namespace zlv {

class TicketJournal {
 public:
  explicit TicketJournal(Database& db);
  TicketJournal(const TicketJournal&) = delete;
  TicketJournal& operator=(const TicketJournal&) = delete;

  // Turns the journal on once the store database has the table; returns whether it is on.
  // Throws when the database cannot be asked, and leaves the journal off; a later call asks
  // again.
  bool Prepare();
  bool on() const { return on_; }

  // Inside the order's transaction: the tickets of the store's sale nrvendarest (central
  // number nrvendarestaux) are owed. Does nothing while the journal is off.
  void Record(const std::string& cdfilial, const std::string& cdloja,
              const std::string& nrvendarest, const std::string& nrvendarestaux);

  // The order's tickets are written (or the cash register prints none): its row goes. Does
  // nothing while the journal is off. Never throws: when the row cannot be deleted now (the
  // store database locked by another program, say) the order's key is kept in memory, the
  // delete is tried again before the next LoadOwed, and LoadOwed leaves that order out, since
  // this process knows its tickets are written. Returns false when the row is still there.
  bool Clear(const std::string& cdfilial, const std::string& cdloja,
             const std::string& nrvendarestaux);

  // Loads the store's owed orders as the ticket writers read a download (mode "D"): the sales
  // with their central number as NRVENDAREST, their order tabs and their consumers. Returns
  // whether there is any.
  bool LoadOwed(const std::string& cdfilial, const std::string& cdloja, Dataset& cdsVendaRest,
                Dataset& cdsComandaVen, Dataset& cdsCons);

 private:
  DataPacket Owed(NamedStatement& query, const std::string& cdfilial, const std::string& cdloja);
  void Delete(const std::string& cdfilial, const std::string& cdloja,
              const std::string& nrvendarestaux);
  void RetryClears();

  using Key = std::tuple<std::string, std::string, std::string>;  // branch, store, central sale

  Database& db_;
  bool on_ = false;
  NamedStatement insert_;
  NamedStatement delete_;
  std::set<Key> printed_not_cleared_;
};

}  // namespace zlv
