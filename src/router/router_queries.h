// The four statements of the router dispatch, each behind one routine.
//
// The three selections set their parameters as text and hand back every row as one packet,
// which the caller loads into its working set. Unlike the update, they do not swallow a
// database error: an order must never reach the router with its items or payments missing
// because their selection failed, so the error goes to the dispatch, which ends the call.
//
// Main thread (the store connection's thread).
#pragma once

#include <string>

#include "data/data_packet.h"
#include "database/database.h"

namespace zlv {

// adqDadosRot: the orders of a branch and store that are ready for the router.
DataPacket BuscaDadosRot(Database& db, const std::string& cdfilial, const std::string& cdloja);
// adqDadosRotItVen: the items of one order tab, whatever their status.
DataPacket BuscaDadosRotItVen(Database& db, const std::string& nrcomanda,
                              const std::string& cdcliente, const std::string& cdconsumidor);
// adqDadosRotMovCx: the delivery cash movements of one sale with their receipt type.
DataPacket BuscaDadosRotMovCx(Database& db, const std::string& cdfilial,
                              const std::string& cdcliente, const std::string& cdconsumidor,
                              const std::string& nrvendarest);
// acmUpdStatusCmdRot: marks an order tab accepted by the router at `agora`. A database error
// is caught here; its message is returned (empty on success) so the caller can log it.
std::string AtualizaStatusCmdRot(Database& db, const std::string& cdfilial,
                                 const std::string& nrcomanda, DateTime agora);

}  // namespace zlv
