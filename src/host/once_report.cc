#include "host/once_report.h"

namespace zlv {

namespace {

OnceReport Report(int status, const std::string& what, const std::filesystem::path& log_file) {
  return {status, "ZlvSinc /ONCE: " + what + "; log: " + log_file.string()};
}

std::string Orders(const OrderTally& orders) {
  return std::to_string(orders.downloaded) + " pedido(s) baixado(s), " +
         std::to_string(orders.refused) + " recusado(s)";
}

}  // namespace

OnceReport ReportOnce(const StartupResult& startup, const CycleOutcome& cycle, int failure_lines,
                      const std::filesystem::path& log_file) {
  switch (startup.outcome) {
    case StartupOutcome::kNotSetUp:
      return Report(kExitNotSetUp, "caixa não parametrizado para a sincronização do delivery",
                    log_file);
    case StartupOutcome::kBadParameters:
      return Report(kExitBadParameters, "parâmetro ou Zelvora.cds inválido: " + startup.message,
                    log_file);
    case StartupOutcome::kDatabaseUnavailable:
    case StartupOutcome::kWaitingForDatabase:
      return Report(kExitDatabaseUnavailable, "banco de dados da loja indisponível", log_file);
    case StartupOutcome::kFailed:
      return Report(kExitFailed, "a inicialização falhou", log_file);
    case StartupOutcome::kStarted:
      break;
  }
  if (cycle.address_missing) {
    return Report(kExitNoServerAddress,
                  "endereço do servidor central (IpServer) ausente ou inválido", log_file);
  }
  if (!cycle.server_reached) {
    return Report(kExitServerUnreachable, "servidor central inacessível", log_file);
  }
  if (failure_lines > 0) {
    return Report(kExitCycleFailed,
                  "ciclo concluído com falhas, veja o log: " + Orders(cycle.orders), log_file);
  }
  return Report(kExitOk, "ciclo concluído: " + Orders(cycle.orders), log_file);
}

OnceReport ReportAlreadyRunning(const std::filesystem::path& log_file) {
  return Report(kExitAlreadyRunning, "outro sincronizador já está em execução nesta máquina",
                log_file);
}

}  // namespace zlv
