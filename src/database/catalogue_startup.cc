// Statements of start-up, of the synchronisation cycle and of the download run's housekeeping.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> StartupStatements() {
  return {
      PortableQuery("adqValidaExecucao", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT C.CDLOJA,C.CDCAIXA FROM CAIXA C WHERE C.CDFILIAL = :P_CDFILIAL AND C.CDCAIXA =
      :P_CDCAIXA AND C.IDSINCCAIXADLV = 'S')sql"),
      PortableQuery("adqImpAutCupZlv", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsFloat,
                    R"sql(
      SELECT IDIMPAUTCUPZLV FROM CAIXA WHERE IDIMPAUTCUPZLV = 'S' AND CDFILIAL = :P_CDFILIAL AND
      CDLOJA = :P_CDLOJA)sql"),
      PortableQuery("adqRoteirizador", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsFloat,
                    R"sql(
      SELECT IDUTILINTROT, CDURLROT FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA)sql"),
      PortableQuery("adqDados", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT C.CDLOJA, P.IDSINCFILIALDLV FROM CAIXA C, PARAVEND P WHERE C.CDFILIAL = :P_CDFILIAL AND
      C.CDCAIXA = :P_CDCAIXA AND C.CDFILIAL=P.CDFILIAL AND P.IDSINCFILIALDLV = 'N' union SELECT
      L.CDLOJA, P.IDSINCFILIALDLV FROM LOJA L, PARAVEND P WHERE L.CDFILIAL = :P_CDFILIAL AND
      P.IDSINCFILIALDLV = 'S')sql"),
      PortableQuery("adqVerifEncomenda", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT CDFILIAL FROM COMANDAVEN WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = (SELECT CDLOJA FROM
      CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA) AND IDSTCOMANDA NOT IN ('4') AND
      IDSINCAGENDA = 'N' AND SUBSTRING(DSCOMANDA,1,4) = 'ENC_')sql"),
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
      // SQLite has no such option; the command reads the session's foreign-key setting back,
      // which changes nothing. Setting it, even to the value it has, would expire every
      // prepared statement of the connection, and every ticket would compile its queries anew.
      Command("acmSetArithAbort", {},
              R"sql(
      SET ARITHABORT ON)sql",
              R"sql(
      PRAGMA foreign_keys)sql"),
  };
}

}  // namespace zlv::catalogue
