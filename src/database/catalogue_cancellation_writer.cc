// Statements the cancellation writer runs: the order cancellation and the kitchen display
// withdrawal.
#include "database/catalogue_defs.h"

namespace zlv::catalogue {

std::vector<StatementDef> CancellationWriterStatements() {
  return {
      PortableQuery("adqBuscaVenda",
                    {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDAREST")},
                    Decimals::AsStored,
                    R"sql(
      SELECT * FROM VENDA V INNER JOIN CAIXA C on C.CDFILIAL=V.CDFILIAL and C.CDCAIXA=V.CDCAIXA
      WHERE V.IDSITUVENDA = 'O' AND C.IDIMPAUTCUPEXP = 'N' AND V.CDFILIAL = :P_CDFILIAL AND V.CDLOJA
      = :P_CDLOJA AND V.NRVENDAREST = :P_NRVENDAREST)sql"),
      // The sale a cancellation names must be a delivery order this store received: one of
      // this branch and store whose central number is the one the cancellation carries. A
      // table sale has no central number and never matches.
      PortableQuery("adqBuscaPedidoRecebido",
                    {TextParam("P_CDFILIAL"), TextParam("P_CDLOJA"), TextParam("P_NRVENDAREST"),
                     TextParam("P_NRVENDARESTAUX")},
                    Decimals::AsStored,
                    R"sql(
      SELECT 1 FROM VENDAREST WHERE CDFILIAL = :P_CDFILIAL AND CDLOJA = :P_CDLOJA AND NRVENDAREST
      = :P_NRVENDAREST AND NRVENDARESTAUX = :P_NRVENDARESTAUX)sql"),
      PortableQuery("adqBuscaPedidoCanc", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                    Decimals::AsStored,
                    R"sql(
      SELECT 1 FROM COMANDAVEN WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST = :P_NRVENDAREST AND
      IDSTCOMANDA = '4')sql"),
      PortableCommand("acmUpdComandaVenCanc", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                      R"sql(
      UPDATE COMANDAVEN SET IDSTCOMANDA = '4' WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST =
      :P_NRVENDAREST)sql"),
      PortableCommand("acmUpdItComandaVenCanc",
                      {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                      R"sql(
      UPDATE ITCOMANDAVEN SET IDSTPRCOMVEN = 6 WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST IN
      (SELECT NRVENDAREST FROM VENDAREST WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST =
      :P_NRVENDAREST))sql"),
      PortableQuery("adqItPedidoZlvRel", {TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                    Decimals::AsStored,
                    R"sql(
      SELECT 1 FROM ITPEDIDOZLVREL WHERE CDFILIAL = :P_CDFILIAL AND NRVENDAREST = :P_NRVENDAREST)sql"),
      PortableCommand("acmUpdSitItPedidoZlv",
                      {TextParam("P_IDSITITPEDZLV"), DateTimeParam("P_DTCANCITPED"),
                       TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
                      R"sql(
      UPDATE ITPEDIDOZLV SET IDSITITPEDZLV = :P_IDSITITPEDZLV, DTCANCITPED = :P_DTCANCITPED WHERE
      (CDFILIAL = :P_CDFILIAL) AND (NRVENDAREST = :P_NRVENDAREST))sql"),
      PortableCommand(
          "acmUpdSitItPedidoZlvRel",
          {TextParam("P_IDSITITPEDZLV"), TextParam("P_CDFILIAL"), TextParam("P_NRVENDAREST")},
          R"sql(
      UPDATE ITPEDIDOZLVREL SET IDSITITPEDZLV = :P_IDSITITPEDZLV WHERE (CDFILIAL = :P_CDFILIAL) AND
      (NRVENDAREST = :P_NRVENDAREST))sql"),
  };
}

}  // namespace zlv::catalogue
