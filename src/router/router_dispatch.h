// EnviarPedidoRot: hands every order of the current branch and store that is ready for
// delivery to the delivery router, one HTTPS POST of its XML message to
// <CDURLROT>/sendOrder per order, and marks the order tab accepted (IDSITUPEDROT = 'S',
// DTSAIDACMD = now) when, and only when, the reply has a 2xx status and contains "true". An
// order not accepted is offered again at the next call; an accepted one never again. An
// http:// address is served, with a warning in the log once per start.
//
// Callers check the store's IDUTILINTROT first. Everything is told in the log; nothing is
// thrown for a database or transport failure (the log line "ERRO: <message>" ends the call).
// Main thread: requests are synchronous, one order after another.
#pragma once

#include <string>
#include <string_view>

#include "store/services.h"

namespace zlv {

struct RouterOptions {
  // Seconds the router has to answer one order. Each order left waiting holds up the main
  // thread, whose watchdog restarts the process after 3 minutes without a sign of life.
  std::string timeout_seconds = "10";
};

void EnviarPedidoRot(Services& services, const RouterOptions& options = {});

// True for an http:// or https:// address with a host and no blanks or control characters:
// anything else cannot be the router, and no request is made to it.
bool EnderecoRotValido(std::string_view url);

}  // namespace zlv
