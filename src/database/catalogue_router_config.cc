// Statements of the router settings: whether the store dispatches to the delivery router, and
// where.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> RouterConfigStatements() {
  return {
      PortableQuery("adqRoteirizador", {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA")},
                    Decimals::AsFloat,
                    R"sql(
      SELECT IDUTILINTROT, CDURLROT FROM LOJA WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA)sql"),
  };
}

}  // namespace zlv::catalogue
