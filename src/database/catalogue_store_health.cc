// Statements of the status command's look at the store database: what the store refused, owes
// the printers, the central server and the router, and holds for later. Read only.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

namespace {

// Delivery order tabs of the upload's day window that every upload still sends: the central
// server has not yet answered that they are done.
constexpr std::string_view kComandasNaoSincMssql = R"sql(
      SELECT COUNT(*) AS QTCOMANDAS, MIN(CV.DTINCLUSAO) AS DTMAISANTIGA FROM VENDAREST VR,
      COMANDAVEN CV, LOJA LJ WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.CDLOJA = CV.CDLOJA AND
      VR.NRVENDAREST = CV.NRVENDAREST AND VR.CDFILIAL = LJ.CDFILIAL AND VR.CDLOJA = LJ.CDLOJA AND
      SUBSTRING(CV.DSCOMANDA,1,4) = 'DLV_' AND (
      (VR.DTHRABERMESA>=CONVERT(VARCHAR,GETDATE() - ISNULL(LJ.IDSINCQUANTDIA, 1),103))or
      (VR.DTHRABERMESA<CONVERT(VARCHAR,GETDATE() - ISNULL(LJ.IDSINCQUANTDIA, 1),103) AND
      CV.IDSTCOMANDA IN ('X','5','4') ) ) AND CV.IDSINCRONIZADO IS NULL AND VR.CDFILIAL =
      :P_CDFILIAL AND CV.CDLOJA = :P_CDLOJA)sql";

}  // namespace

std::vector<StatementDef> StoreHealthStatements() {
  return {
      PortableQuery("adqStatusLojaCaixa", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT CDLOJA FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA)sql"),
      // One row per order refused today: its attempts and the last diagnosis.
      Query("adqStatusRecusados", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT L.NRVENDARESTAUX, COUNT(*) AS QTTENTATIVAS, MAX(L.DTINCLUSAO) AS DTULTIMA, (SELECT TOP 1
      L2.DSLOGMSG FROM LOGSINCDLV L2 WHERE L2.CDFILIAL = L.CDFILIAL AND L2.CDLOJA = L.CDLOJA AND
      L2.NRVENDARESTAUX = L.NRVENDARESTAUX ORDER BY L2.NRSEQLOG DESC) AS DSLOGMSG FROM LOGSINCDLV L
      WHERE L.CDFILIAL = :P_CDFILIAL AND L.CDLOJA = :P_CDLOJA AND L.DTINCLUSAO >=
      CAST(CAST(GETDATE() AS DATE) AS DATETIME) GROUP BY L.CDFILIAL, L.CDLOJA, L.NRVENDARESTAUX
      ORDER BY MAX(L.DTINCLUSAO))sql",
            R"sql(
      SELECT L.NRVENDARESTAUX, COUNT(*) AS QTTENTATIVAS, MAX(L.DTINCLUSAO) AS DTULTIMA,
             (SELECT L2.DSLOGMSG FROM LOGSINCDLV L2
               WHERE L2.CDFILIAL = L.CDFILIAL AND L2.CDLOJA = L.CDLOJA
                 AND L2.NRVENDARESTAUX = L.NRVENDARESTAUX
               ORDER BY L2.NRSEQLOG DESC LIMIT 1) AS DSLOGMSG
        FROM LOGSINCDLV L
       WHERE L.CDFILIAL = :P_CDFILIAL AND L.CDLOJA = :P_CDLOJA
         AND L.DTINCLUSAO >= date('now', 'localtime')
       GROUP BY L.CDFILIAL, L.CDLOJA, L.NRVENDARESTAUX
       ORDER BY MAX(L.DTINCLUSAO))sql"),
      // Journal rows older than two minutes: a ticket the cycle should have printed by now.
      Query("adqStatusTicketsPendentes", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT COUNT(*) AS QTPENDENTES, MIN(DTINCLUSAO) AS DTMAISANTIGO FROM ZLVSINCIMPPEND WHERE
      CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA AND DTINCLUSAO < DATEADD(minute, -2,
      GETDATE()))sql",
            R"sql(
      SELECT COUNT(*) AS QTPENDENTES, MIN(DTINCLUSAO) AS DTMAISANTIGO
        FROM ZLVSINCIMPPEND
       WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA
         AND DTINCLUSAO < datetime('now', 'localtime', '-2 minutes'))sql"),
      Query("adqStatusComandasNaoSinc", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored, kComandasNaoSincMssql,
            Compose({R"sql(
      SELECT COUNT(*) AS QTCOMANDAS, MIN(CV.DTINCLUSAO) AS DTMAISANTIGA
        FROM VENDAREST VR, COMANDAVEN CV, LOJA LJ
       WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.CDLOJA = CV.CDLOJA AND VR.NRVENDAREST = CV.NRVENDAREST
         AND VR.CDFILIAL = LJ.CDFILIAL AND VR.CDLOJA = LJ.CDLOJA
         AND substr(CV.DSCOMANDA, 1, 4) = 'DLV_'
         AND )sql",
                     kSqliteJanelaSinc,
                     R"sql(
         AND CV.IDSINCRONIZADO IS NULL AND VR.CDFILIAL = :P_CDFILIAL AND CV.CDLOJA = :P_CDLOJA)sql"})),
      // Ready orders of a store that uses the router, not yet taken by it.
      PortableQuery("adqStatusRoteirizador", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT COUNT(*) AS QTPEDIDOS FROM COMANDAVEN CV, LOJA LJ WHERE LJ.CDFILIAL = CV.CDFILIAL AND
      LJ.CDLOJA = CV.CDLOJA AND LJ.IDUTILINTROT = 'S' AND CV.IDSTCOMANDA = 'P' AND
      COALESCE(CV.IDSITUPEDROT, '') = '' AND CV.CDFILIAL = :P_CDFILIAL AND CV.CDLOJA = :P_CDLOJA)sql"),
      // Scheduled orders not yet released, with the moment of their release: the scheduled time
      // less the store's production lead time (180 minutes when empty).
      Query("adqStatusAgendados", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT CV.NRVENDAREST, DATEADD(minute, - ISNULL(LJ.NRTEMPOPRODUCAO, 180), CV.DTHRAGENDADA) AS
      DTLIBERACAO FROM COMANDAVEN CV, LOJA LJ WHERE LJ.CDFILIAL = CV.CDFILIAL AND LJ.CDLOJA =
      CV.CDLOJA AND CV.IDSTCOMANDA NOT IN ('4') AND CV.IDSINCAGENDA = 'N' AND
      SUBSTRING(CV.DSCOMANDA,1,4) = 'ENC_' AND CV.CDFILIAL = :P_CDFILIAL AND CV.CDLOJA = :P_CDLOJA
      ORDER BY CV.DTHRAGENDADA)sql",
            R"sql(
      SELECT CV.NRVENDAREST,
             datetime(CV.DTHRAGENDADA, -IFNULL(LJ.NRTEMPOPRODUCAO, 180) || ' minutes') AS DTLIBERACAO
        FROM COMANDAVEN CV, LOJA LJ
       WHERE LJ.CDFILIAL = CV.CDFILIAL AND LJ.CDLOJA = CV.CDLOJA
         AND CV.IDSTCOMANDA NOT IN ('4') AND CV.IDSINCAGENDA = 'N'
         AND substr(CV.DSCOMANDA, 1, 4) = 'ENC_'
         AND CV.CDFILIAL = :P_CDFILIAL AND CV.CDLOJA = :P_CDLOJA
       ORDER BY CV.DTHRAGENDADA)sql"),
  };
}

}  // namespace zlv::catalogue
