#include "host/run_mode.h"

#include <ostream>
#include <stdexcept>

namespace zlv {

const ServiceDefinition& SincService() {
  static const ServiceDefinition service{.name = "SincPedido",
                                         .display_name = "Sincroniza Pedido",
                                         .automatic_start = true,
                                         .wait_hint_ms = 5000,
                                         .allow_pause = false,
                                         .allow_stop = true,
                                         .local_system = true,
                                         .delayed_start = true,
                                         .restart_delays_ms = {60000, 60000}};
  return service;
}

bool ModoInstalacao(const CommandLine& line) { return line.install || line.uninstall; }

RunMode DecideRunMode(const CommandLine& line, const std::function<bool()>& conta_do_servico) {
  if (ModoInstalacao(line) || conta_do_servico()) return RunMode::kService;
  return RunMode::kDesktop;
}

int InstallOrRemoveService(const CommandLine& line, const std::filesystem::path& program,
                           std::ostream& out, std::ostream& err) {
  const ServiceDefinition& service = SincService();
  try {
    if (line.install) {
      platform::InstallService(service, program);
      if (!line.silent) out << "Serviço " << service.name << " instalado." << std::endl;
    } else {
      platform::UninstallService(service);
      if (!line.silent) out << "Serviço " << service.name << " removido." << std::endl;
    }
    return 0;
  } catch (const std::exception& e) {
    if (!line.silent) {
      err << "Erro ao " << (line.install ? "instalar" : "remover") << " o serviço " << service.name
          << ": " << e.what() << std::endl;
    }
    return 1;
  }
}

}  // namespace zlv
