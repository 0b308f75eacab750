#include "health/health_record.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "platform/durable_file.h"

namespace zlv {
namespace {

using nlohmann::json;

// The record's own format: a reader refuses a file written by a later, different layout.
constexpr int kFormat = 1;

json InstantJson(const Instant& instant) {
  return {{"at", instant.at.ToPacketText()}, {"steady", instant.steady}};
}

Instant InstantFrom(const json& value) {
  const std::optional<DateTime> at = DateTime::ParseIso(value.at("at").get<std::string>());
  if (!at) throw std::runtime_error("data inválida: " + value.at("at").get<std::string>());
  return {*at, value.at("steady").get<double>()};
}

CycleCounters CountersFrom(const json& value) {
  CycleCounters c;
  c.orders_inserted = value.at("orders_inserted").get<std::int64_t>();
  c.orders_refused = value.at("orders_refused").get<std::int64_t>();
  c.duplicates = value.at("duplicates").get<std::int64_t>();
  c.cancellations = value.at("cancellations").get<std::int64_t>();
  c.tickets_written = value.at("tickets_written").get<std::int64_t>();
  c.sales_uploaded = value.at("sales_uploaded").get<std::int64_t>();
  c.router_orders_sent = value.at("router_orders_sent").get<std::int64_t>();
  return c;
}

}  // namespace

json CycleCountersJson(const CycleCounters& c) {
  return {{"orders_inserted", c.orders_inserted},
          {"orders_refused", c.orders_refused},
          {"duplicates", c.duplicates},
          {"cancellations", c.cancellations},
          {"tickets_written", c.tickets_written},
          {"sales_uploaded", c.sales_uploaded},
          {"router_orders_sent", c.router_orders_sent}};
}

std::filesystem::path HealthRecordPath(const std::filesystem::path& exe_folder) {
  return exe_folder / "Dados" / "ZlvSincEstado.json";
}

std::string HealthRecordToJson(const HealthRecord& r) {
  json out = {{"format", kFormat},
              {"pid", r.pid},
              {"service", r.service},
              {"boot_id", r.boot_id},
              {"branch", r.branch},
              {"cash_register", r.cash_register},
              {"started", InstantJson(r.started)},
              {"heartbeat", InstantJson(r.heartbeat)},
              {"cycles", r.cycles},
              {"failed_cycles", r.failed_cycles},
              {"totals", CycleCountersJson(r.totals)}};
  if (r.last_cycle) {
    const HealthRecord::Cycle& c = *r.last_cycle;
    out["last_cycle"] = {{"started", InstantJson(c.started)},
                         {"ended", InstantJson(c.ended)},
                         {"ok", c.ok},
                         {"server_reached", c.server_reached},
                         {"failure_line", c.failure_line},
                         {"counters", CycleCountersJson(c.counters)}};
  }
  if (r.last_download) out["last_download"] = InstantJson(*r.last_download);
  if (r.last_upload) out["last_upload"] = InstantJson(*r.last_upload);
  return out.dump(2) + "\n";
}

HealthRecord HealthRecordFromJson(const std::string& text) {
  try {
    const json in = json::parse(text);
    if (in.at("format").get<int>() != kFormat) {
      throw std::runtime_error("formato " + in.at("format").dump() + " desconhecido");
    }
    HealthRecord r;
    r.pid = in.at("pid").get<std::int64_t>();
    r.service = in.at("service").get<bool>();
    r.boot_id = in.at("boot_id").get<std::string>();
    r.branch = in.at("branch").get<std::string>();
    r.cash_register = in.at("cash_register").get<std::string>();
    r.started = InstantFrom(in.at("started"));
    r.heartbeat = InstantFrom(in.at("heartbeat"));
    r.cycles = in.at("cycles").get<std::int64_t>();
    r.failed_cycles = in.at("failed_cycles").get<std::int64_t>();
    r.totals = CountersFrom(in.at("totals"));
    if (in.contains("last_cycle")) {
      const json& c = in.at("last_cycle");
      r.last_cycle = HealthRecord::Cycle{.started = InstantFrom(c.at("started")),
                                         .ended = InstantFrom(c.at("ended")),
                                         .ok = c.at("ok").get<bool>(),
                                         .server_reached = c.at("server_reached").get<bool>(),
                                         .failure_line = c.at("failure_line").get<std::string>(),
                                         .counters = CountersFrom(c.at("counters"))};
    }
    if (in.contains("last_download")) r.last_download = InstantFrom(in.at("last_download"));
    if (in.contains("last_upload")) r.last_upload = InstantFrom(in.at("last_upload"));
    return r;
  } catch (const json::exception& e) {
    throw std::runtime_error(e.what());
  }
}

void WriteHealthRecord(const std::filesystem::path& path, const HealthRecord& record) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  platform::WriteFileDurably(path, temp, HealthRecordToJson(record));
}

std::optional<HealthRecord> ReadHealthRecord(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) return std::nullopt;
    throw std::runtime_error("Erro ao ler " + path.string());
  }
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return HealthRecordFromJson(text.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("Erro ao ler " + path.string() + ": " + e.what());
  }
}

}  // namespace zlv
