#include "sync/status_updates.h"

namespace zlv {

StatusUpdates::StatusUpdates(Services& services)
    : s_(services),
      acmUpdSincronizado_(services.db, "acmUpdSincronizado"),
      acmRetComandaVen_(services.db, "acmRetComandaVen"),
      acmRetHistPedCons_(services.db, "acmRetHistPedCons") {}

void StatusUpdates::PedidoSincronizado(const std::string& cdfilial, const std::string& cdloja,
                                       const std::string& nrvendarest) {
  s_.log.GravaLog("Pedido totalmente sincronizado - NRVENDAREST: " + nrvendarest);
  acmUpdSincronizado_.SetParam("P_CDFILIAL", cdfilial);
  acmUpdSincronizado_.SetParam("P_CDLOJA", cdloja);
  acmUpdSincronizado_.SetParam("P_NRVENDAREST", nrvendarest);
  acmUpdSincronizado_.Execute();
}

void StatusUpdates::AtualizaNrVendaRestAux(const std::string& cdfilial, const std::string& cdloja,
                                           const std::string& nrvendarest,
                                           const std::string& nrvendarestaux) {
  s_.log.GravaLog("Atualiza NRVENDARESTAUX do MSDE - NRVENDAREST: " + nrvendarest +
                  " - NRVENDARESTAUX: " + nrvendarestaux);
  acmRetComandaVen_.SetParam("P_CDFILIAL", cdfilial);
  acmRetComandaVen_.SetParam("P_CDLOJA", cdloja);
  acmRetComandaVen_.SetParam("P_NRVENDAREST", nrvendarest);
  acmRetComandaVen_.SetParam("P_NRVENDARESTAUX", nrvendarestaux);
  acmRetComandaVen_.Execute();
}

void StatusUpdates::AtualizaNrSeqHistPed(const std::string& cdfilial, const std::string& cdloja,
                                         const std::string& nrvendarest,
                                         const std::string& nrcomanda,
                                         const std::string& nrseqhistped) {
  s_.log.GravaLog("Atualiza NRSEQHISTPED do MSDE - NRVENDAREST: " + nrvendarest +
                  " - P_NRCOMANDA: " + nrcomanda + " - P_NRSEQHISTPED: " + nrseqhistped);
  acmRetHistPedCons_.SetParam("P_CDFILIAL", cdfilial);
  acmRetHistPedCons_.SetParam("P_CDLOJA", cdloja);
  acmRetHistPedCons_.SetParam("P_NRVENDAREST", nrvendarest);
  acmRetHistPedCons_.SetParam("P_NRCOMANDA", nrcomanda);
  acmRetHistPedCons_.SetParam("P_NRSEQHISTPED", nrseqhistped);
  acmRetHistPedCons_.Execute();
}

}  // namespace zlv
