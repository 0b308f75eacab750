// Statements of the check for the synchroniser's own tables.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> OwnTablesStatements() {
  return {
      // 'S' when the store database has the table: the synchroniser's own tables are made by
      // the database scripts in db/, never at run time.
      Query("adqExisteTabela", {TextParam("P_NMTABELA", 128)}, Decimals::AsStored,
            R"sql(
      SELECT CASE WHEN OBJECT_ID(:P_NMTABELA, 'U') IS NULL THEN 'N' ELSE 'S' END AS IDEXISTE)sql",
            R"sql(
      SELECT CASE WHEN EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND
             name = :P_NMTABELA) THEN 'S' ELSE 'N' END AS IDEXISTE)sql"),
  };
}

}  // namespace zlv::catalogue
