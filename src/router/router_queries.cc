#include "router/router_queries.h"

#include "database/named_statement.h"

namespace zlv {

DataPacket BuscaDadosRot(Database& db, const std::string& cdfilial, const std::string& cdloja) {
  NamedStatement adqDadosRot(db, "adqDadosRot");
  adqDadosRot.SetParam("P_CDFILIAL", cdfilial);
  adqDadosRot.SetParam("P_CDLOJA", cdloja);
  return adqDadosRot.Packet();
}

DataPacket BuscaDadosRotItVen(Database& db, const std::string& nrcomanda,
                              const std::string& cdcliente, const std::string& cdconsumidor) {
  NamedStatement adqDadosRotItVen(db, "adqDadosRotItVen");
  adqDadosRotItVen.SetParam("P_NRCOMANDA", nrcomanda);
  adqDadosRotItVen.SetParam("P_CDCLIENTE", cdcliente);
  adqDadosRotItVen.SetParam("P_CDCONSUMIDOR", cdconsumidor);
  return adqDadosRotItVen.Packet();
}

DataPacket BuscaDadosRotMovCx(Database& db, const std::string& cdfilial,
                              const std::string& cdcliente, const std::string& cdconsumidor,
                              const std::string& nrvendarest) {
  NamedStatement adqDadosRotMovCx(db, "adqDadosRotMovCx");
  adqDadosRotMovCx.SetParam("P_CDFILIAL", cdfilial);
  adqDadosRotMovCx.SetParam("P_CDCLIENTE", cdcliente);
  adqDadosRotMovCx.SetParam("P_CDCONSUMIDOR", cdconsumidor);
  adqDadosRotMovCx.SetParam("P_NRVENDAREST", nrvendarest);
  return adqDadosRotMovCx.Packet();
}

std::string AtualizaStatusCmdRot(Database& db, const std::string& cdfilial,
                                 const std::string& nrcomanda, DateTime agora) {
  try {
    NamedStatement acmUpdStatusCmdRot(db, "acmUpdStatusCmdRot");
    acmUpdStatusCmdRot.SetParam("P_CDFILIAL", cdfilial);
    acmUpdStatusCmdRot.SetParam("P_NRCOMANDA", nrcomanda);
    acmUpdStatusCmdRot.SetParam("P_DTSAIDACMD", agora);
    acmUpdStatusCmdRot.Execute();
    return {};
  } catch (const DatabaseError& e) {
    return e.what();
  }
}

}  // namespace zlv
