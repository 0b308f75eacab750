// DownloadSets: the in-memory datasets of one download run. The central server's answer fills
// the eleven downloaded sets (in the order of its packet array); the consumer, order and
// cancellation writers read them, and the order writer removes the orders it could not commit
// from cdsVendaRest. cdsValidaProduto receives the answers of the remote product check.
//
// The download run owns one; main thread only.
#pragma once

#include <array>

#include "data/dataset.h"

namespace zlv {

struct DownloadSets {
  Dataset cdsCons;
  Dataset cdsConsumiFilial;
  Dataset cdsVendaRest;
  Dataset cdsComandaVen;
  Dataset cdsItComandaVen;
  Dataset cdsItComandaEst;
  Dataset cdsMovCaixaDlv;
  Dataset cdsObsItComandaVen;
  Dataset cdsPedidosCanc;
  Dataset cdsMovPontoConsAux;
  Dataset cdsObsItComandaEst;

  Dataset cdsValidaProduto;

  static constexpr int kDownloadedCount = 11;

  // The downloaded sets in the order of the server's packet array (index 0 to 10).
  std::array<Dataset*, kDownloadedCount> InDownloadOrder() {
    return {&cdsCons,         &cdsConsumiFilial,   &cdsVendaRest,      &cdsComandaVen,
            &cdsItComandaVen, &cdsItComandaEst,    &cdsMovCaixaDlv,    &cdsObsItComandaVen,
            &cdsPedidosCanc,  &cdsMovPontoConsAux, &cdsObsItComandaEst};
  }
};

}  // namespace zlv
