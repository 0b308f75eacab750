// Statements of the synchronisation cycle: the stores this register synchronises, and whether
// scheduled orders wait for their release.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> CycleStatements() {
  return {
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
  };
}

}  // namespace zlv::catalogue
