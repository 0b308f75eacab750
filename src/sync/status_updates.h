// The write-back of the central server's answers to the order state upload:
//  PedidoSincronizado: the order is fully synchronised (COMANDAVEN.IDSINCRONIZADO = 'S'), so it
//    leaves the upload;
//  AtualizaNrVendaRestAux: the server's number for a local sale (VENDAREST.NRVENDARESTAUX);
//  AtualizaNrSeqHistPed: a status-history row was received (HISTPEDCONS.IDIMPHISTPED = 'S').
// Each writes its log line first, then runs its one statement; a failing statement throws to
// the caller, which logs it under its own heading.
//
// Owns its three statements. Main thread only.
#pragma once

#include <string>

#include "database/named_statement.h"
#include "store/services.h"

namespace zlv {

class StatusUpdates {
 public:
  explicit StatusUpdates(Services& services);

  void PedidoSincronizado(const std::string& cdfilial, const std::string& cdloja,
                          const std::string& nrvendarest);
  void AtualizaNrVendaRestAux(const std::string& cdfilial, const std::string& cdloja,
                              const std::string& nrvendarest, const std::string& nrvendarestaux);
  void AtualizaNrSeqHistPed(const std::string& cdfilial, const std::string& cdloja,
                            const std::string& nrvendarest, const std::string& nrcomanda,
                            const std::string& nrseqhistped);

 private:
  Services& s_;
  NamedStatement acmUpdSincronizado_;
  NamedStatement acmRetComandaVen_;
  NamedStatement acmRetHistPedCons_;
};

}  // namespace zlv
