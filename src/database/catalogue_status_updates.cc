// Statements of the write-back of the central server's answers.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> StatusUpdateStatements() {
  return {
      PortableCommand("acmRetComandaVen",
                      {TextParam("P_NRVENDARESTAUX"), TextParam("P_CDFILIAL"),
                       TextParam("P_CDLOJA"), TextParam("P_NRVENDAREST")},
                      R"sql(
      UPDATE VENDAREST SET NRVENDARESTAUX = :P_NRVENDARESTAUX WHERE CDFILIAL = :P_CDFILIAL AND
      CDLOJA = :P_CDLOJA AND NRVENDAREST = :P_NRVENDAREST)sql"),
      PortableCommand("acmUpdSincronizado",
                      {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDAREST")},
                      R"sql(
      update COMANDAVEN set IDSINCRONIZADO='S' where CDFILIAL = :P_CDFILIAL and CDLOJA = :P_CDLOJA
      and NRVENDAREST= :P_NRVENDAREST)sql"),
      PortableCommand("acmRetHistPedCons",
                      {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDAREST"),
                       TextParam("P_NRCOMANDA"), TextParam("P_NRSEQHISTPED")},
                      R"sql(
      UPDATE HISTPEDCONS SET IDIMPHISTPED='S' WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA
      AND NRVENDAREST = :P_NRVENDAREST AND NRCOMANDA = :P_NRCOMANDA AND NRSEQHISTPED =
      :P_NRSEQHISTPED)sql"),
  };
}

}  // namespace zlv::catalogue
