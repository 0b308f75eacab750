// Statements of the cancellation ticket's header.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> CancellationTicketStatements() {
  return {
      // The header data of a cancelled order, by the central sale number: its sale, first order
      // tab and consumer.
      PortableQuery(
          "adqComandaCancelada", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDARESTAUX")},
          Decimals::AsStored,
          "SELECT CV.NRCOMANDAEXT, CV.IDORGCMDVENDA, CV.DSCONSUMIDOR, CV.DSOBSCOMANDA, VR.NRMESA, "
          "VR.NRMESAEATTAKE, CS.NMCONSUMIDOR FROM VENDAREST VR INNER JOIN COMANDAVEN CV ON "
          "CV.CDFILIAL = VR.CDFILIAL AND CV.NRVENDAREST = VR.NRVENDAREST LEFT JOIN CONSUMIDOR CS "
          "ON CS.CDCLIENTE = VR.CDCLIENTE AND CS.CDCONSUMIDOR = VR.CDCONSUMIDOR WHERE "
          "VR.CDFILIAL = :P_CDFILIAL AND VR.NRVENDARESTAUX = :P_NRVENDARESTAUX "
          "ORDER BY CV.NRCOMANDA"),
  };
}

}  // namespace zlv::catalogue
