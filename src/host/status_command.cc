#include "host/status_command.h"

#include <exception>

#include "bizlib/clock.h"
#include "database/connection_settings.h"
#include "health/health_record.h"
#include "health/status_report.h"
#include "host/parameters.h"
#include "host/run_mode.h"
#include "platform/config_key.h"
#include "platform/health_probe.h"
#include "platform/paths.h"
#include "store/store_health.h"

namespace zlv {
namespace {

// The branch and register the command line or Zelvora.cds name; empty when neither does.
void ReadCodes(const CommandLine& line, const std::filesystem::path& exe_folder,
               StatusFacts& facts) {
  try {
    Dataset parameters;
    ParameterSlots slots;
    LeParametros(line.first_parameter, exe_folder, parameters, slots);
    if (!slots[0].IsEmpty()) facts.branch = slots[0].AsText();
    if (!slots[1].IsEmpty()) facts.cash_register = slots[1].AsText();
  } catch (const std::exception&) {
    // The health record may still name them; a bad parameter shows as missing codes.
  }
}

StatusFacts Gather(const CommandLine& line) {
  const std::filesystem::path exe_folder = platform::ExeFolder();
  const SystemClock clock;
  StatusFacts facts;
  facts.now = {clock.Now(), clock.Steady()};
  facts.boot_id = platform::BootId();
  ReadCodes(line, exe_folder, facts);
  try {
    facts.record = ReadHealthRecord(HealthRecordPath(exe_folder));
  } catch (const std::exception& e) {
    facts.record_error = e.what();
  }
  if (facts.record && facts.branch.empty()) {
    facts.branch = facts.record->branch;
    facts.cash_register = facts.record->cash_register;
  }
  facts.liveness = platform::ProbeSingleInstance("ZLVSINC");
  facts.service_state = platform::ServiceState(SincService().name);
  const ConfigKey& key = platform::MachineConfigKey();
  facts.central_server = key.Read("IpServer").value_or("");
  const std::string connection = GetStringConexZlv("", key, exe_folder);
  facts.store_database = MaskConnectionString(connection);
  try {
    const std::unique_ptr<Database> db = OpenDatabase(connection);
    facts.store = ReadStoreFacts(*db, facts.branch, facts.cash_register);
  } catch (const std::exception& e) {
    facts.store_error = e.what();
  }
  return facts;
}

}  // namespace

int RunStatusCommand(const CommandLine& line) {
  try {
    const StatusFacts facts = Gather(line);
    const StatusVerdict verdict = Assess(facts);
    platform::WriteToStarter(line.json ? StatusJson(facts, verdict) : StatusText(facts, verdict));
    return static_cast<int>(verdict.level);
  } catch (const std::exception& e) {
    platform::WriteToStarter(std::string("ZlvSinc /STATUS: não foi possível ler o estado: ") +
                             e.what() + "\n");
    return static_cast<int>(StatusLevel::kUnreadable);
  }
}

}  // namespace zlv
