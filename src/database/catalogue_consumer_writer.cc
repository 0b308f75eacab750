// Statements the consumer writer runs.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> ConsumerWriterStatements() {
  return {
      PortableQuery("adqCliConsumidor", {TextParam("P_CDCLIENTE"), TextParam("P_CDCONSUMIDOR")},
                    Decimals::AsFloat,
                    R"sql(
      SELECT * FROM CONSUMIDOR WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR)sql"),
      PortableQuery(
          "adqCliConsumiFilial",
          {TextParam("P_CDCLIENTE"), TextParam("P_CDCONSUMIDOR"), TextParam("P_CDFILIAL")},
          Decimals::AsStored,
          R"sql(
      SELECT * FROM CONSUMIFILIAL WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR
      AND CDFILIAL = :P_CDFILIAL)sql"),
  };
}

}  // namespace zlv::catalogue
