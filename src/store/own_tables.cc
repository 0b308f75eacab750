#include "store/own_tables.h"

#include "database/named_statement.h"

namespace zlv {

bool TabelaExiste(Database& db, const std::string& table) {
  NamedStatement query(db, "adqExisteTabela");
  query.SetParam("P_NMTABELA", table);
  query.Open();
  return !query.IsEmpty() && query.Field("IDEXISTE").AsText() == "S";
}

std::string ScriptAtualizacao(const Database& db) {
  return db.dialect() == Dialect::Sqlite ? "db/upgrade.sqlite.sql" : "db/upgrade.sqlserver.sql";
}

}  // namespace zlv
