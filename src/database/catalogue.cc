// The catalogue's table, joined from its groups once, and the lookup by component name.
#include "database/catalogue.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "database/catalogue_defs.h"

namespace zlv {
namespace catalogue {

namespace {

StatementDef Make(std::string_view name, StatementKind kind, std::vector<ParamDef> params,
                  bool decimals_as_float, std::string_view mssql_text,
                  std::string_view sqlite_text) {
  StatementDef def;
  def.name = name;
  def.kind = kind;
  def.params = std::move(params);
  def.timeout_seconds = kind == StatementKind::Command ? 0 : 30;
  def.decimals_as_float = decimals_as_float;
  def.mssql_text = mssql_text;
  def.sqlite_text = sqlite_text;
  return def;
}

}  // namespace

StatementDef Query(std::string_view name, std::vector<ParamDef> params, Decimals decimals,
                   std::string_view mssql_text, std::string_view sqlite_text) {
  return Make(name, StatementKind::Query, std::move(params), decimals == Decimals::AsFloat,
              mssql_text, sqlite_text);
}

StatementDef Command(std::string_view name, std::vector<ParamDef> params,
                     std::string_view mssql_text, std::string_view sqlite_text) {
  return Make(name, StatementKind::Command, std::move(params), false, mssql_text, sqlite_text);
}

StatementDef PortableQuery(std::string_view name, std::vector<ParamDef> params, Decimals decimals,
                           std::string_view text) {
  return Query(name, std::move(params), decimals, text, text);
}

StatementDef PortableCommand(std::string_view name, std::vector<ParamDef> params,
                             std::string_view text) {
  return Command(name, std::move(params), text, text);
}

std::string_view Compose(std::initializer_list<std::string_view> parts) {
  // A deque never moves its elements, so the views handed out stay valid.
  static std::deque<std::string> kept;
  std::string text;
  for (std::string_view part : parts) text += part;
  return kept.emplace_back(std::move(text));
}

}  // namespace catalogue

const std::vector<StatementDef>& AllStatements() {
  static const std::vector<StatementDef> all = [] {
    using namespace catalogue;
    std::vector<StatementDef> out;
    for (auto group : {StartupStatements,
                       CycleStatements,
                       DownloadRunStatements,
                       UploadStatements,
                       StatusUpdateStatements,
                       ConsumerWriterStatements,
                       OrderWriterStatements,
                       OrderWriterItemStatements,
                       FailureLogStatements,
                       CancellationWriterStatements,
                       PrinterConfigStatements,
                       ProductionTicketStatements,
                       ItemWalkStatements,
                       TicketTextStatements,
                       CancellationTicketStatements,
                       DeliveryTicketStatements,
                       DeliveryTicketItemStatements,
                       ScheduledReleaseStatements,
                       RouterQueryStatements,
                       RouterConfigStatements,
                       TicketJournalStatements,
                       OwnTablesStatements,
                       StoreHealthStatements}) {
      for (StatementDef& def : group()) out.push_back(std::move(def));
    }
    return out;
  }();
  return all;
}

const StatementDef& FindStatement(std::string_view name) {
  static const std::unordered_map<std::string_view, const StatementDef*> by_name = [] {
    std::unordered_map<std::string_view, const StatementDef*> map;
    for (const StatementDef& def : AllStatements()) map.emplace(def.name, &def);
    return map;
  }();
  auto found = by_name.find(name);
  if (found == by_name.end()) {
    throw std::out_of_range("Statement not in the catalogue: " + std::string(name));
  }
  return *found->second;
}

}  // namespace zlv
