// Statements of the failure log (LOGSINCDLV): a failed order's record, and the clearing of an
// order's record and of the printed ones older than a day.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> FailureLogStatements() {
  return {
      PortableCommand("acmInsLogSincDlv",
                      {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"),
                       TextParam("P_NRVENDARESTAUX"), DateTimeParam("P_DTHRABERMESA"),
                       TextParam("P_DSLOG"), TextParam("P_DSLOGMSG"), TextParam("P_DSCONSUMIDOR")},
                      R"sql(
      INSERT INTO LOGSINCDLV( CDFILIAL,CDLOJA,NRVENDARESTAUX ,DTHRABERMESA,DSLOG,DSLOGMSG
      ,DSCONSUMIDOR )VALUES( :P_CDFILIAL,:P_CDLOJA,:P_NRVENDARESTAUX
      ,:P_DTHRABERMESA,:P_DSLOG,:P_DSLOGMSG ,:P_DSCONSUMIDOR ))sql"),
      Command("acmDelLogSincDlv",
              {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDARESTAUX"),
               DateTimeParam("P_DTHRABERMESA")},
              R"sql(
      delete from LOGSINCDLV where CDFILIAL = :P_CDFILIAL and CDLOJA = :P_CDLOJA and (
      (NRVENDARESTAUX = :P_NRVENDARESTAUX AND DTHRABERMESA = :P_DTHRABERMESA) or (DTHRABERMESA <
      GETDATE()-1 AND IDIMPLOG = 'S') ))sql",
              R"sql(
      DELETE FROM LOGSINCDLV
       WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA
         AND ((NRVENDARESTAUX = :P_NRVENDARESTAUX AND DTHRABERMESA = :P_DTHRABERMESA)
              OR (DTHRABERMESA < datetime('now', 'localtime', '-1 days') AND IDIMPLOG = 'S')))sql"),
  };
}

}  // namespace zlv::catalogue
