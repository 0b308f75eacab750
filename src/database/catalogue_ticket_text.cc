// Statements of the ticket texts: the order number of a downloaded or a scheduled order.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> TicketTextStatements() {
  return {
      PortableQuery("adqNrComanda", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                    Decimals::AsStored,
                    R"sql(
      SELECT CO.NRCOMANDA, CO.DSCOMANDA FROM COMANDAVEN CO, VENDAREST VR WHERE VR.CDFILIAL =
      :P_CDFILIAL AND VR.NRVENDARESTAUX = :P_NRVENDAREST AND CO.CDFILIAL = VR.CDFILIAL AND
      CO.NRVENDAREST = VR.NRVENDAREST)sql"),
      PortableQuery("adqNrComandaEnc", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                    Decimals::AsStored,
                    R"sql(
      SELECT CO.NRCOMANDA, CO.DSCOMANDA FROM COMANDAVEN CO, VENDAREST VR WHERE VR.CDFILIAL =
      :P_CDFILIAL AND VR.NRVENDAREST = :P_NRVENDAREST AND CO.CDFILIAL = VR.CDFILIAL AND
      CO.NRVENDAREST = VR.NRVENDAREST)sql"),
  };
}

}  // namespace zlv::catalogue
