// Statements of the download run's housekeeping: whether the register prints the orders it
// writes, and the record of the run.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> DownloadRunStatements() {
  return {
      PortableQuery("adqImpPed", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsFloat,
                    R"sql(
      SELECT IDIMPPEDDLV FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA)sql"),
      // One upsert on SQLite: the table's key is the branch and the store, which is never NULL
      // here, so the row it replaces is the one the server deletes.
      Command("acmInsZlvSincExecuta", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
              R"sql(
      DELETE FROM ZLVSINCEXECUTA WHERE CDFILIAL = :P_CDFILIAL AND (CDLOJA = :P_CDLOJA OR CDLOJA IS
      NULL); INSERT ZLVSINCEXECUTA (CDFILIAL,DTZLVSINCEXEC, CDLOJA) VALUES (:P_CDFILIAL, GETDATE(),
      :P_CDLOJA);)sql",
              R"sql(
      INSERT OR REPLACE INTO ZLVSINCEXECUTA (CDFILIAL, DTZLVSINCEXEC, CDLOJA)
      VALUES (:P_CDFILIAL, datetime('now', 'localtime'), :P_CDLOJA))sql"),
  };
}

}  // namespace zlv::catalogue
