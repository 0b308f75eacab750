#include "store/store_health.h"

#include <algorithm>
#include <vector>

#include "database/named_statement.h"
#include "store/own_tables.h"

namespace zlv {
namespace {

// The stores the cycle runs for, in its order: the branch's stores in per-branch mode, else
// the register's own.
std::vector<std::string> StoresOf(Database& db, const std::string& cdfilial,
                                  const std::string& cdcaixa) {
  std::vector<std::string> stores;
  for (const char* name : {"adqDados", "adqStatusLojaCaixa"}) {
    NamedStatement query(db, name);
    query.SetParam("P_CDFILIAL", cdfilial);
    query.SetParam("P_CDCAIXA", cdcaixa);
    query.Open();
    for (; !query.Eof(); query.Next()) {
      stores.push_back(query.Field("CDLOJA").AsText());
      const Dataset& row = query.Result();
      if (row.HasField("IDSINCFILIALDLV") && row.Text("IDSINCFILIALDLV") == "N") break;
    }
    if (!stores.empty()) break;
  }
  return stores;
}

NamedStatement& Run(NamedStatement& query, const std::string& cdfilial, const std::string& cdloja) {
  query.Close();
  query.SetParam("P_CDFILIAL", cdfilial);
  query.SetParam("P_CDLOJA", cdloja);
  query.Open();
  return query;
}

std::optional<DateTime> Earliest(std::optional<DateTime> known, const Variant& value) {
  if (value.IsNull()) return known;
  const DateTime when = value.AsDateTime();
  return known && *known < when ? known : std::optional<DateTime>(when);
}

}  // namespace

StoreFacts ReadStoreFacts(Database& db, const std::string& cdfilial, const std::string& cdcaixa) {
  StoreFacts facts;
  const bool journal = TabelaExiste(db, kTabelaDiario);
  NamedStatement refused(db, "adqStatusRecusados");
  NamedStatement owed(db, "adqStatusTicketsPendentes");
  NamedStatement unsynced(db, "adqStatusComandasNaoSinc");
  NamedStatement router(db, "adqStatusRoteirizador");
  NamedStatement scheduled(db, "adqStatusAgendados");
  for (const std::string& cdloja : StoresOf(db, cdfilial, cdcaixa)) {
    for (Run(refused, cdfilial, cdloja); !refused.Eof(); refused.Next()) {
      facts.refused_today.push_back({refused.Field("NRVENDARESTAUX").AsText(),
                                     static_cast<int>(refused.Field("QTTENTATIVAS").AsInteger()),
                                     refused.Field("DSLOGMSG").AsText(),
                                     refused.Field("DTULTIMA").AsDateTime()});
    }
    if (journal) {
      Run(owed, cdfilial, cdloja);
      facts.owed_tickets += static_cast<int>(owed.Field("QTPENDENTES").AsInteger());
      facts.oldest_owed_ticket = Earliest(facts.oldest_owed_ticket, owed.Field("DTMAISANTIGO"));
    }
    Run(unsynced, cdfilial, cdloja);
    facts.unsynced_tabs += static_cast<int>(unsynced.Field("QTCOMANDAS").AsInteger());
    facts.oldest_unsynced_tab = Earliest(facts.oldest_unsynced_tab, unsynced.Field("DTMAISANTIGA"));
    Run(router, cdfilial, cdloja);
    facts.router_waiting += static_cast<int>(router.Field("QTPEDIDOS").AsInteger());
    for (Run(scheduled, cdfilial, cdloja); !scheduled.Eof(); scheduled.Next()) {
      facts.scheduled.push_back(
          {scheduled.Field("NRVENDAREST").AsText(), scheduled.Field("DTLIBERACAO").AsDateTime()});
    }
  }
  std::sort(facts.scheduled.begin(), facts.scheduled.end(),
            [](const auto& a, const auto& b) { return a.release_at < b.release_at; });
  return facts;
}

}  // namespace zlv
