#include "host/startup.h"

#include <exception>

#include "bizlib/log_text.h"
#include "database/named_statement.h"
#include "host/main_loop.h"
#include "host/parameters.h"
#include "print/print_files.h"
#include "print/printer_config.h"
#include "router/router_config.h"
#include "router/router_dispatch.h"

namespace zlv {

namespace {

// Step 5's refusal, also for codes that could not be read at all (kBadParameters then).
StartupResult NotSetUp(ActivityLog& log, std::string why) {
  log.GravaLog(kCaixaNaoParametrizado);
  if (why.empty()) return {StartupOutcome::kNotSetUp, kCaixaNaoParametrizado};
  return {StartupOutcome::kBadParameters, std::move(why)};
}

void ReadImpAutCupZlv(Services& s) {
  s.globals.gIDIMPAUTCUPZLV = std::string("N");
  try {
    NamedStatement adqImpAutCupZlv(s.db, "adqImpAutCupZlv");
    adqImpAutCupZlv.SetParam("P_CDFILIAL", Variant(s.globals.gCDFILIAL));
    adqImpAutCupZlv.SetParam("P_CDLOJA", Variant(s.globals.gCDLOJA));
    adqImpAutCupZlv.Open();
    // No cash register of the store prints automatically: the flag is empty, not "N".
    s.globals.gIDIMPAUTCUPZLV =
        adqImpAutCupZlv.IsEmpty() ? "" : adqImpAutCupZlv.Field("IDIMPAUTCUPZLV").AsText();
  } catch (const std::exception& e) {
    s.log.GravaLog(std::string("adqImpAutCupZlv: Erro -> ") + LogText(e.what()));
  }
}

// Without its database the process still keeps its timer and watchdog, so that each tick can
// try again: the watchdog's clocks start now, or it would take the process for stalled.
StartupResult WaitForDatabase(StartupParts& p, std::string message) {
  if (!p.wait_for_database) return {StartupOutcome::kDatabaseUnavailable, std::move(message)};
  p.services.globals.gInicioPeriodo.store(p.services.clock.Steady());
  p.services.globals.Touch(p.services.clock);
  p.timSincronismo.SetEnabled(true);
  if (p.start_watchdog) p.start_watchdog();
  return {StartupOutcome::kWaitingForDatabase, std::move(message)};
}

// Everything from the "FormCreate" line on: what needs the store database.
StartupResult Steps(StartupParts& p) {
  Services& s = p.services;
  Globals& g = s.globals;

  s.log.GravaLog("FormCreate");
  g.gInicioPeriodo.store(s.clock.Steady());
  g.Touch(s.clock);

  ParameterSlots slots;
  try {
    LeParametros(p.first_parameter, s.exe_folder, p.cdsParametros, slots);
  } catch (const std::exception& e) {
    const std::string message = std::string("LeParametros: Erro -> ") + LogText(e.what());
    s.log.GravaLog(message);
    return NotSetUp(s.log, message);
  }
  g.gCDFILIAL = slots[0].AsText();
  g.gCDCAIXA = slots[1].AsText();
  if (p.codes_read) p.codes_read();

  NamedStatement adqValidaExecucao(s.db, "adqValidaExecucao");
  adqValidaExecucao.SetParam("P_CDFILIAL", Variant(g.gCDFILIAL));
  adqValidaExecucao.SetParam("P_CDCAIXA", Variant(g.gCDCAIXA));
  adqValidaExecucao.Open();
  if (adqValidaExecucao.IsEmpty()) return NotSetUp(s.log, "");
  g.gCDLOJA = adqValidaExecucao.Field("CDLOJA").AsText();

  std::filesystem::create_directories(TicketFolder(s.exe_folder));
  ReadImpAutCupZlv(s);

  p.cdsRoteirizador.LoadPacket(CarregaConfigRot(s, g.gCDFILIAL, g.gCDLOJA));
  g.gIDUTILINTROT = ConfigRotCampo(p.cdsRoteirizador.Packet(), "IDUTILINTROT");
  if (g.gIDUTILINTROT == "S") EnviarPedidoRot(s);

  CarregaImpressoras(s, g.gCDFILIAL, g.gCDLOJA);
  p.timSincronismo.SetEnabled(true);
  if (p.start_watchdog) p.start_watchdog();
  RunContainedTick(p.first_tick, s.log);
  g.gLiberaReinicio.store(true);
  return {StartupOutcome::kStarted, ""};
}

// Steps, with its failures logged; a lost link is waited for like a database that did not open.
StartupResult ContainedSteps(StartupParts& parts) {
  bool lost = false;
  std::string message;
  try {
    return Steps(parts);
  } catch (const ConnectionLostError& e) {
    lost = true;
    message = std::string("FormCreate: Erro -> ") + LogText(e.what());
  } catch (const std::exception& e) {
    message = std::string("FormCreate: Erro -> ") + LogText(e.what());
  }
  try {
    parts.services.log.GravaLog(message);
  } catch (const std::exception&) {
    // The caller still reports the message where it can (standard error).
  }
  if (lost) return WaitForDatabase(parts, message);
  return {StartupOutcome::kFailed, message};
}

}  // namespace

StartupResult FormCreate(StartupParts& parts) {
  try {
    parts.adcSincronismo.Connect();
  } catch (const std::exception& e) {
    std::string message = std::string("adcSincronismo: Erro -> ") + LogText(e.what());
    try {
      parts.services.log.GravaLog(message);
    } catch (const std::exception&) {
      return {
          parts.wait_for_database ? StartupOutcome::kFailed : StartupOutcome::kDatabaseUnavailable,
          message};
    }
    return WaitForDatabase(parts, std::move(message));
  }
  parts.services.log.GravaLog(StoreDatabaseLine(parts.adcSincronismo));
  return ContainedSteps(parts);
}

StartupResult ResumeStartup(StartupParts& parts) {
  parts.services.globals.Touch(parts.services.clock);
  if (!RestoreStoreConnection(parts.adcSincronismo, parts.services.log)) {
    return {StartupOutcome::kWaitingForDatabase, ""};
  }
  return ContainedSteps(parts);
}

}  // namespace zlv
