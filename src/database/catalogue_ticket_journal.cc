// Statements of the ticket journal (ZLVSINCIMPPEND): the orders committed by the synchroniser
// whose tickets are not written yet, and what the ticket writers need to write them again.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

namespace {

// The journal rows of one store; the joins below hang the store's rows on them.
constexpr std::string_view kDaLoja = R"sql(
       WHERE J.CDFILIAL = :P_CDFILIAL AND J.CDLOJA = :P_CDLOJA)sql";

}  // namespace

std::vector<StatementDef> TicketJournalStatements() {
  return {
      PortableCommand("acmInsZlvSincImpPend",
                      {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST"), TextParam("P_CDLOJA"),
                       TextParam("P_NRVENDARESTAUX")},
                      R"sql(
      INSERT INTO ZLVSINCIMPPEND (CDFILIAL, NRVENDAREST, CDLOJA, NRVENDARESTAUX) VALUES
      (:P_CDFILIAL, :P_NRVENDAREST, :P_CDLOJA, :P_NRVENDARESTAUX))sql"),
      PortableCommand(
          "acmDelZlvSincImpPend",
          {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDARESTAUX")},
          R"sql(
      DELETE FROM ZLVSINCIMPPEND WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA AND
      NRVENDARESTAUX = :P_NRVENDARESTAUX)sql"),
      // The owed orders shaped as a download's cdsVendaRest: NRVENDAREST is the central number,
      // as the ticket writers expect in mode "D". A journal row whose sale is gone still comes
      // (with empty sale columns), so that it is cleared.
      PortableQuery("adqZlvSincImpPend", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsStored,
                    Compose({R"sql(
      SELECT J.CDFILIAL, J.CDLOJA, J.NRVENDARESTAUX AS NRVENDAREST, V.DTHRABERMESA, V.CDCLIENTE,
             V.CDCONSUMIDOR, V.NRMESA, V.NRMESAEATTAKE, V.CDVENDEDOR
        FROM ZLVSINCIMPPEND J
        LEFT JOIN VENDAREST V ON V.CDFILIAL = J.CDFILIAL AND V.NRVENDAREST = J.NRVENDAREST)sql",
                             kDaLoja, R"sql(
       ORDER BY J.DTINCLUSAO, J.NRVENDAREST)sql"})),
      // Their order tabs, shaped as the download's cdsComandaVen (central sale number).
      PortableQuery("adqComandaVenImpPend", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsStored,
                    Compose({R"sql(
      SELECT C.CDFILIAL, J.NRVENDARESTAUX AS NRVENDAREST, C.NRCOMANDA, C.IDSTCOMANDA,
             C.IDORGCMDVENDA, C.IDRETBALLOJA, C.DTHRAGENDADA, C.DSPREVENTREGA, C.NRCOMANDAEXT,
             C.DSCONSUMIDOR, C.DSOBSCOMANDA
        FROM ZLVSINCIMPPEND J
        JOIN COMANDAVEN C ON C.CDFILIAL = J.CDFILIAL AND C.NRVENDAREST = J.NRVENDAREST)sql",
                             kDaLoja})),
      // Their consumers, shaped as the download's cdsCons for the consumer's name.
      PortableQuery("adqConsumidorImpPend", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsStored,
                    Compose({R"sql(
      SELECT DISTINCT CO.CDCLIENTE, CO.CDCONSUMIDOR, CO.NMCONSUMIDOR
        FROM ZLVSINCIMPPEND J
        JOIN VENDAREST V ON V.CDFILIAL = J.CDFILIAL AND V.NRVENDAREST = J.NRVENDAREST
        JOIN CONSUMIDOR CO ON CO.CDCLIENTE = V.CDCLIENTE AND CO.CDCONSUMIDOR = V.CDCONSUMIDOR)sql",
                             kDaLoja})),
  };
}

}  // namespace zlv::catalogue
