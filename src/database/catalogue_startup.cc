// Statements of start-up: whether this register synchronises deliveries, and whether it prints
// the delivery coupon by itself.
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
  };
}

}  // namespace zlv::catalogue
