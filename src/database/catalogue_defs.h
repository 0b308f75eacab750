// Building blocks of the statement catalogue, private to its files. Each catalogue_<group>.cc
// returns the statements of one group of operations and catalogue.cc joins them into the one
// table behind AllStatements(). Everything here runs once, while that table is built under the
// thread-safe initialisation of a function-local static.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "database/catalogue.h"

namespace zlv::catalogue {

inline ParamDef TextParam(std::string_view name, int size = 16) {
  return {name, ParamType::Text, size};
}
inline ParamDef FloatParam(std::string_view name, int size = 16) {
  return {name, ParamType::Float, size};
}
inline ParamDef IntegerParam(std::string_view name, int size = 16) {
  return {name, ParamType::Integer, size};
}
inline ParamDef DateTimeParam(std::string_view name, int size = 16) {
  return {name, ParamType::DateTime, size};
}

enum class Decimals { AsStored, AsFloat };

// Queries keep the 30 s default time-out. Commands run without one: a write that the client
// abandoned half-way would leave the order's transaction to a time-out instead of to the
// database's own answer.
StatementDef Query(std::string_view name, std::vector<ParamDef> params, Decimals decimals,
                   std::string_view mssql_text, std::string_view sqlite_text);
StatementDef Command(std::string_view name, std::vector<ParamDef> params,
                     std::string_view mssql_text, std::string_view sqlite_text);
// Statements whose SQL Server text runs on SQLite unchanged and gives the same rows there.
StatementDef PortableQuery(std::string_view name, std::vector<ParamDef> params, Decimals decimals,
                           std::string_view text);
StatementDef PortableCommand(std::string_view name, std::vector<ParamDef> params,
                             std::string_view text);

// Joins the parts into one text that lives as long as the process (the catalogue holds views).
std::string_view Compose(std::initializer_list<std::string_view> parts);

// SQLite pieces shared by several statements (catalogue_sqlite.cc).

// The upload's day window over VR (VENDAREST), CV (COMANDAVEN) and LJ (LOJA): sales opened since
// midnight IDSINCQUANTDIA days ago (1 when NULL), older ones only in status X, 5 or 4.
extern const std::string_view kSqliteJanelaSinc;

// A derived table (CDFILIAL, NRVENDAREST, NRPRODCOMVEN, list) of the items of `sales` (a SELECT
// of NRVENDAREST values, or one parameter) that have observations in `table`: list is " " +
// DSOCORR + ";" repeated QTPRODCOMVENOBS times (once when NULL) for each observation, in key
// order. `filter` is appended to the observation join (an " AND ..." or nothing); `order` lists
// the key of `table`. Like the production statement, an item's list gathers the observations of
// every row with its sale and item numbers, whatever the branch or order tab.
std::string SqliteListaObs(std::string_view table, std::string_view filter, std::string_view order,
                           std::string_view sales);
// The same list for one item, as an expression on the item's alias (CDFILIAL, NRVENDAREST,
// NRPRODCOMVEN): NULL when the item has no observation row, as the join of SqliteListaObs
// gives it. Uses the observations' item index, once per item.
std::string SqliteListaObsDoItem(std::string_view table, std::string_view order,
                                 std::string_view item);

// The keys of OBSITCOMANDAVEN and OBSITCOMANDAEST: the order of an observation list, as SQL
// Server walks the rows along the clustered primary key.
extern const std::string_view kSqliteChaveObsVen;
extern const std::string_view kSqliteChaveObsEst;

// The ISO date-time for a date-time the writers pass as regional text "DD/MM/YYYY" or
// "DD/MM/YYYY HH:MM:SS" (SQL Server converts such texts itself); an empty text gives
// 1900-01-01 00:00:00 as on the server; any other value is kept.
std::string SqliteDataHora(std::string_view param);

// One group a file, named after the module that runs its statements: catalogue_<module>.cc.
std::vector<StatementDef> StartupStatements();
std::vector<StatementDef> CycleStatements();
std::vector<StatementDef> DownloadRunStatements();
std::vector<StatementDef> UploadStatements();
std::vector<StatementDef> StatusUpdateStatements();
std::vector<StatementDef> ConsumerWriterStatements();
std::vector<StatementDef> OrderWriterStatements();
std::vector<StatementDef> OrderWriterItemStatements();
std::vector<StatementDef> FailureLogStatements();
std::vector<StatementDef> CancellationWriterStatements();
std::vector<StatementDef> PrinterConfigStatements();
std::vector<StatementDef> ProductionTicketStatements();
std::vector<StatementDef> ItemWalkStatements();
std::vector<StatementDef> TicketTextStatements();
std::vector<StatementDef> CancellationTicketStatements();
std::vector<StatementDef> DeliveryTicketStatements();
std::vector<StatementDef> DeliveryTicketItemStatements();
std::vector<StatementDef> ScheduledReleaseStatements();
std::vector<StatementDef> RouterQueryStatements();
std::vector<StatementDef> RouterConfigStatements();
std::vector<StatementDef> TicketJournalStatements();
std::vector<StatementDef> OwnTablesStatements();
std::vector<StatementDef> StoreHealthStatements();

}  // namespace zlv::catalogue
