// The run-mode decision and the service's definition (TSincService). A process runs in
// service mode when it was asked to install or remove the service, or when the service is
// registered under the account this process runs as (the service manager started it);
// otherwise it is a hidden single-instance desktop process.
//
// Main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "host/command_line.h"
#include "platform/service.h"

namespace zlv {

enum class RunMode { kService, kDesktop };

// The service "SincPedido", display name "Sincroniza Pedido": delayed automatic start, 5 s
// start time, stop but no pause, under the system account, restarted by the manager one
// minute after each of its first two failing ends.
const ServiceDefinition& SincService();

bool ModoInstalacao(const CommandLine& line);

// conta_do_servico is asked only when the command line does not decide (ContaDoServico).
RunMode DecideRunMode(const CommandLine& line, const std::function<bool()>& conta_do_servico);

// What a failed INSTALL or UNINSTALL tells the technician; a refusal for want of rights says
// how to run it again (an elevated prompt).
std::string ServiceFailureText(const CommandLine& line, const std::exception& failure);

// INSTALL or UNINSTALL (INSTALL wins when both are given) for program; the outcome is handed
// to tell (text, failure) unless the command line holds SILENT. Returns the exit status:
// 0 done, 1 failed.
int InstallOrRemoveService(const CommandLine& line, const std::filesystem::path& program,
                           const std::function<void(const std::string&, bool)>& tell);

}  // namespace zlv
