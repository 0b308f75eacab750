// Statements of the release of scheduled orders.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

namespace {

// A scheduled order tab that is not cancelled nor released, of the branch and store, whose
// scheduled time minus the production lead time (P_NRTEMPOPROD minutes) has come. A NULL lead
// time or scheduled time selects nothing, as DATEADD gives NULL on the server.
constexpr std::string_view kEncomendaDevida = R"sql(
         AND CV.IDSTCOMANDA NOT IN ('4') AND CV.IDSINCAGENDA = 'N'
         AND substr(DSCOMANDA, 1, 4) = 'ENC_'
         AND datetime('now', 'localtime') >=
             datetime(CV.DTHRAGENDADA, -:P_NRTEMPOPROD || ' minutes')
         AND VR.CDFILIAL = :P_CDFILIAL AND VR.CDLOJA = :P_CDLOJA)sql";

}  // namespace

std::vector<StatementDef> ScheduledReleaseStatements() {
  return {
      PortableQuery("adqTempoProd", {TextParam("P_CDFILIAL"), TextParam("P_CDCAIXA")},
                    Decimals::AsStored,
                    R"sql(
      SELECT CDLOJA, NRTEMPOPRODUCAO FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = (SELECT
      CDLOJA FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA))sql"),
      Query("adqEncVendarest",
            {IntegerParam("P_NRTEMPOPROD"), TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT VR.* FROM VENDAREST VR, COMANDAVEN CV WHERE VR.CDFILIAL = CV.CDFILIAL AND
      VR.NRVENDAREST = CV.NRVENDAREST AND CV.IDSTCOMANDA NOT IN ('4') AND CV.IDSINCAGENDA = 'N' AND
      SUBSTRING(DSCOMANDA,1,4) = 'ENC_' AND GETDATE() >= DATEADD(minute, - :P_NRTEMPOPROD,
      CV.DTHRAGENDADA) AND VR.CDFILIAL = :P_CDFILIAL AND VR.CDLOJA = :P_CDLOJA ORDER BY
      VR.DTHRABERMESA)sql",
            Compose({R"sql(
      SELECT VR.*
        FROM VENDAREST VR, COMANDAVEN CV
       WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST)sql",
                     kEncomendaDevida, "\n       ORDER BY VR.DTHRABERMESA"})),
      Query("adqEncComandaVen",
            {IntegerParam("P_NRTEMPOPROD"), TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT CV.* FROM VENDAREST VR, COMANDAVEN CV WHERE VR.CDFILIAL = CV.CDFILIAL AND
      VR.NRVENDAREST = CV.NRVENDAREST AND CV.IDSTCOMANDA NOT IN ('4') AND SUBSTRING(DSCOMANDA,1,4) =
      'ENC_' AND CV.IDSINCAGENDA = 'N' AND GETDATE() >= DATEADD(minute, - :P_NRTEMPOPROD,
      CV.DTHRAGENDADA) AND VR.CDFILIAL = :P_CDFILIAL AND VR.CDLOJA = :P_CDLOJA ORDER BY
      VR.DTHRABERMESA)sql",
            Compose({R"sql(
      SELECT CV.*
        FROM VENDAREST VR, COMANDAVEN CV
       WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST)sql",
                     kEncomendaDevida, "\n       ORDER BY VR.DTHRABERMESA"})),
      // LOJA stands unjoined in the server's text, so each consumer comes once per store of the
      // database; the SQLite text keeps that.
      Query("adqEncConsumidor",
            {IntegerParam("P_NRTEMPOPROD"), TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
            Decimals::AsStored,
            R"sql(
      SELECT VR.NRVENDAREST, CO.* FROM VENDAREST VR, COMANDAVEN CV, CONSUMIDOR CO, LOJA LJ WHERE
      VR.CDFILIAL = CV.CDFILIAL AND VR.CDLOJA = CV.CDLOJA AND VR.NRVENDAREST = CV.NRVENDAREST AND
      CO.CDCLIENTE = VR.CDCLIENTE AND CO.CDCONSUMIDOR = VR.CDCONSUMIDOR AND CV.IDSTCOMANDA NOT IN
      ('4') AND CV.IDSINCAGENDA = 'N' AND SUBSTRING(DSCOMANDA,1,4) = 'ENC_' AND GETDATE() >=
      DATEADD(minute, - :P_NRTEMPOPROD, CV.DTHRAGENDADA) AND VR.CDFILIAL = :P_CDFILIAL AND VR.CDLOJA
      = :P_CDLOJA)sql",
            Compose({R"sql(
      SELECT VR.NRVENDAREST, CO.*
        FROM VENDAREST VR, COMANDAVEN CV, CONSUMIDOR CO, LOJA LJ
       WHERE VR.CDFILIAL = CV.CDFILIAL AND VR.CDLOJA = CV.CDLOJA AND VR.NRVENDAREST = CV.NRVENDAREST
         AND CO.CDCLIENTE = VR.CDCLIENTE AND CO.CDCONSUMIDOR = VR.CDCONSUMIDOR)sql",
                     kEncomendaDevida})),
      PortableCommand("acmUpdSincAgenda", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                      R"sql(
      UPDATE COMANDAVEN SET IDSINCAGENDA = 'S' WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST =
      :P_NRVENDAREST)sql"),
  };
}

}  // namespace zlv::catalogue
