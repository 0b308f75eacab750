#include "host/run_mode.h"

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

std::string ServiceFailureText(const CommandLine& line, const std::exception& failure) {
  std::string text = std::string("Erro ao ") + (line.install ? "instalar" : "remover") +
                     " o serviço " + SincService().name + ": " + failure.what();
  if (dynamic_cast<const ElevationRequired*>(&failure) != nullptr) {
    text +=
        "\nAbra o prompt de comando como administrador (\"Executar como administrador\") e "
        "repita o comando.";
  }
  return text;
}

int InstallOrRemoveService(const CommandLine& line, const std::filesystem::path& program,
                           const std::function<void(const std::string&, bool)>& tell) {
  const ServiceDefinition& service = SincService();
  try {
    if (line.install) {
      platform::InstallService(service, program);
      if (!line.silent) tell("Serviço " + service.name + " instalado.", false);
    } else {
      platform::UninstallService(service);
      if (!line.silent) tell("Serviço " + service.name + " removido.", false);
    }
    return 0;
  } catch (const std::exception& e) {
    if (!line.silent) tell(ServiceFailureText(line, e), true);
    return 1;
  }
}

}  // namespace zlv
