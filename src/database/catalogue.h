// The statement catalogue: every named statement the synchroniser runs against the store
// database, with its kind, parameters, command time-out and one text per dialect. The SQL
// Server text keeps the production statement's tokens; the SQLite text returns the same
// columns for the same parameters.
#pragma once

#include <string_view>
#include <vector>

#include "database/database.h"

namespace zlv {

enum class StatementKind { Query, Command };
enum class ParamType { Text, Integer, Float, DateTime };

struct ParamDef {
  std::string_view name;  // "P_CDFILIAL"
  ParamType type = ParamType::Text;
  int size = 16;
};

struct StatementDef {
  std::string_view name;  // component name: "adqComandaVen", "acmVendaRest"
  StatementKind kind = StatementKind::Query;
  std::vector<ParamDef> params;
  int timeout_seconds = 30;  // 0: none
  bool decimals_as_float = false;
  std::string_view mssql_text;
  std::string_view sqlite_text;

  std::string_view TextFor(Dialect dialect) const {
    return dialect == Dialect::SqlServer ? mssql_text : sqlite_text;
  }
};

const std::vector<StatementDef>& AllStatements();
// Throws std::out_of_range for an unknown name.
const StatementDef& FindStatement(std::string_view name);

}  // namespace zlv
