#include "health/status_report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

namespace zlv {
namespace {

using nlohmann::json;

// The age of one of the process's instants on the reader's clock counting from the computer's
// start. Empty when it cannot be measured: taken before the computer last started, which
// makes it older than any limit.
std::optional<double> AgeOf(const Instant& then, const StatusFacts& facts) {
  const HealthRecord& record = *facts.record;
  if (!facts.boot_id.empty() && !record.boot_id.empty() && facts.boot_id != record.boot_id) {
    return std::nullopt;
  }
  if (then.steady > facts.now.steady) return std::nullopt;
  return facts.now.steady - then.steady;
}

std::string Date(DateTime when) {
  const CivilTime c = when.Civil();
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour,
                c.minute, c.second);
  return text;
}

std::string Age(std::optional<double> seconds) {
  if (!seconds) return "antes do último reinício do computador";
  const long long s = std::llround(*seconds);
  if (s < 120) return "há " + std::to_string(s) + " s";
  if (s < 2 * 3600) return "há " + std::to_string(s / 60) + " min";
  return "há " + std::to_string(s / 3600) + " h " + std::to_string(s / 60 % 60) + " min";
}

std::string Minutes(double limit) { return std::to_string(std::lround(limit / 60)) + " min"; }

// The verdict's reasons with their levels, until they are put most serious first.
using Findings = std::vector<std::pair<StatusLevel, std::string>>;

void Raise(Findings& findings, StatusLevel level, std::string reason) {
  findings.emplace_back(level, std::move(reason));
}

const char* LevelText(StatusLevel level) {
  switch (level) {
    case StatusLevel::kHealthy:
      return "OK";
    case StatusLevel::kAttention:
      return "PRECISA DE ATENÇÃO";
    case StatusLevel::kNotWorking:
      return "NÃO ESTÁ FUNCIONANDO";
    case StatusLevel::kUnreadable:
      return "ESTADO ILEGÍVEL";
  }
  return "";
}

const char* LevelName(StatusLevel level) {
  switch (level) {
    case StatusLevel::kHealthy:
      return "healthy";
    case StatusLevel::kAttention:
      return "attention";
    case StatusLevel::kNotWorking:
      return "not_working";
    case StatusLevel::kUnreadable:
      return "unreadable";
  }
  return "";
}

json Nullable(std::optional<double> value) {
  return value ? json(std::round(*value)) : json(nullptr);
}

json InstantJson(const Instant& instant, const StatusFacts& facts) {
  return {{"at", instant.at.ToPacketText()}, {"age_seconds", Nullable(AgeOf(instant, facts))}};
}

json OptionalDate(const std::optional<DateTime>& when) {
  return when ? json(when->ToPacketText()) : json(nullptr);
}

// The store database's wall clock age of one of its rows.
double RowAge(const StatusFacts& facts, DateTime row) {
  return std::max(0.0, facts.now.at.SecondsSince(row));
}

}  // namespace

StatusVerdict Assess(const StatusFacts& facts) {
  Findings verdict;
  if (!facts.record_error.empty()) {
    Raise(verdict, StatusLevel::kUnreadable,
          "estado do sincronizador ilegível: " + facts.record_error);
  }
  if (!facts.record) {
    if (facts.record_error.empty()) {
      Raise(verdict, StatusLevel::kNotWorking, "o sincronizador nunca rodou nesta instalação");
    }
  } else {
    const HealthRecord& r = *facts.record;
    const std::optional<double> heartbeat = AgeOf(r.heartbeat, facts);
    if (!heartbeat || *heartbeat > kHeartbeatLimitSeconds) {
      Raise(verdict, StatusLevel::kNotWorking, "sem sinal de vida " + Age(heartbeat));
    } else if (facts.liveness == Liveness::kNotRunning) {
      Raise(verdict, StatusLevel::kAttention,
            "nenhum sincronizador rodando; último sinal de vida " + Age(heartbeat));
    }
    const std::optional<double> download =
        AgeOf(r.last_download ? *r.last_download : r.started, facts);
    if (!download || *download > kDownloadLimitSeconds) {
      Raise(verdict, StatusLevel::kNotWorking,
            r.last_download ? "nenhum BaixaPedidos com sucesso " + Age(download)
                            : "nenhum BaixaPedidos com sucesso desde o início, " + Age(download));
    }
  }
  if (!facts.store) {
    Raise(verdict, StatusLevel::kNotWorking, "banco da loja inacessível: " + facts.store_error);
  } else {
    const StoreFacts& s = *facts.store;
    if (!s.refused_today.empty()) {
      Raise(verdict, StatusLevel::kAttention,
            std::to_string(s.refused_today.size()) + " pedido(s) recusado(s) hoje");
    }
    if (s.owed_tickets > 0) {
      Raise(verdict, StatusLevel::kAttention,
            std::to_string(s.owed_tickets) + " ticket(s) pendente(s) há mais de " +
                Minutes(kOwedTicketSeconds));
    }
    // A tab changed a moment ago on an old order waits for the next cycle only: the backlog is
    // old when the uploads have stopped too.
    const std::optional<double> upload =
        facts.record
            ? AgeOf(facts.record->last_upload ? *facts.record->last_upload : facts.record->started,
                    facts)
            : std::nullopt;
    if (s.oldest_unsynced_tab && RowAge(facts, *s.oldest_unsynced_tab) > kUploadBacklogSeconds &&
        (!upload || *upload > kUploadBacklogSeconds)) {
      Raise(verdict, StatusLevel::kAttention,
            "comandas não sincronizadas há mais de " + Minutes(kUploadBacklogSeconds));
    }
  }
  std::stable_sort(verdict.begin(), verdict.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  StatusVerdict out;
  for (auto& [level, reason] : verdict) {
    out.level = std::max(out.level, level);
    out.reasons.push_back(std::move(reason));
  }
  return out;
}

std::string StatusText(const StatusFacts& facts, const StatusVerdict& verdict) {
  std::ostringstream out;
  out << "ZlvSinc - estado da filial " << facts.branch << ", caixa " << facts.cash_register
      << ", em " << Date(facts.now.at) << "\n";
  const HealthRecord* r = facts.record ? &*facts.record : nullptr;
  out << "Sincronizador: ";
  switch (facts.liveness) {
    case Liveness::kRunning:
      out << "rodando";
      break;
    case Liveness::kNotRunning:
      out << "parado";
      break;
    case Liveness::kUnknown:
      out << "não foi possível verificar se está rodando";
      break;
  }
  if (r != nullptr) {
    out << " (" << (r->service ? "modo serviço" : "modo desktop") << ", PID " << r->pid
        << ", iniciado em " << Date(r->started.at) << "); último sinal de vida "
        << Age(AgeOf(r->heartbeat, facts));
  }
  out << "\n";
  if (!facts.service_state.empty()) out << "Serviço SincPedido: " << facts.service_state << "\n";
  if (r != nullptr && r->last_cycle) {
    const HealthRecord::Cycle& c = *r->last_cycle;
    out << "Último ciclo: início " << Date(c.started.at) << ", fim " << Date(c.ended.at) << ", "
        << (c.ok ? "sem falha" : "com falha: " + c.failure_line)
        << (c.server_reached ? "" : " (servidor central não alcançado)") << "\n";
  } else if (r != nullptr) {
    out << "Último ciclo: nenhum ciclo terminou ainda\n";
  }
  if (r != nullptr) {
    for (const auto& [method, last] : {std::pair{"BaixaPedidos", &r->last_download},
                                       std::pair{"AtualizaPedidos", &r->last_upload}}) {
      out << "Último " << method << " com sucesso: "
          << (*last ? Date((*last)->at) + " (" + Age(AgeOf(**last, facts)) + ")"
                    : std::string("nenhum desde o início"))
          << "\n";
    }
  }
  if (facts.store) {
    const StoreFacts& s = *facts.store;
    out << "Pedidos recusados hoje: " << s.refused_today.size() << "\n";
    for (const StoreFacts::RefusedOrder& o : s.refused_today) {
      out << "  pedido " << o.central_number << ": " << o.attempts << " tentativa(s), a última em "
          << Date(o.last_at) << "; " << o.diagnosis << "\n";
    }
    out << "Tickets pendentes há mais de " << Minutes(kOwedTicketSeconds) << ": " << s.owed_tickets;
    if (s.oldest_owed_ticket) out << " (o mais antigo desde " << Date(*s.oldest_owed_ticket) << ")";
    out << "\nComandas não sincronizadas: " << s.unsynced_tabs;
    if (s.oldest_unsynced_tab) {
      out << " (a mais antiga " << Age(RowAge(facts, *s.oldest_unsynced_tab)) << ")";
    }
    out << "\nPedidos aguardando o roteirizador: " << s.router_waiting << "\n";
    out << "Pedidos agendados aguardando liberação: " << s.scheduled.size() << "\n";
    for (const StoreFacts::ScheduledOrder& o : s.scheduled) {
      out << "  pedido " << o.order << ": liberação em " << Date(o.release_at) << "\n";
    }
  }
  out << "Servidor central: "
      << (facts.central_server.empty() ? "(não configurado)" : facts.central_server) << "\n";
  out << "Banco da loja: " << facts.store_database << "\n";
  out << "Situação: " << LevelText(verdict.level) << " (" << static_cast<int>(verdict.level)
      << ")\n";
  for (const std::string& reason : verdict.reasons) out << "  - " << reason << "\n";
  return out.str();
}

std::string StatusJson(const StatusFacts& facts, const StatusVerdict& verdict) {
  json out = {{"status", static_cast<int>(verdict.level)},
              {"status_name", LevelName(verdict.level)},
              {"reasons", verdict.reasons},
              {"checked_at", facts.now.at.ToPacketText()},
              {"branch", facts.branch},
              {"cash_register", facts.cash_register},
              {"central_server", facts.central_server},
              {"store_database", facts.store_database}};
  json sync = {
      {"running", facts.liveness == Liveness::kUnknown
                      ? json(nullptr)
                      : json(facts.liveness == Liveness::kRunning)},
      {"service_state", facts.service_state.empty() ? json(nullptr) : json(facts.service_state)}};
  if (facts.record) {
    const HealthRecord& r = *facts.record;
    sync["mode"] = r.service ? "service" : "desktop";
    sync["pid"] = r.pid;
    sync["started"] = InstantJson(r.started, facts);
    sync["heartbeat"] = InstantJson(r.heartbeat, facts);
    sync["cycles"] = r.cycles;
    sync["failed_cycles"] = r.failed_cycles;
    sync["totals"] = CycleCountersJson(r.totals);
    if (r.last_cycle) {
      const HealthRecord::Cycle& c = *r.last_cycle;
      out["last_cycle"] = {{"started", InstantJson(c.started, facts)},
                           {"ended", InstantJson(c.ended, facts)},
                           {"ok", c.ok},
                           {"server_reached", c.server_reached},
                           {"failure_line", c.ok ? json(nullptr) : json(c.failure_line)},
                           {"counters", CycleCountersJson(c.counters)}};
    }
    if (r.last_download) out["last_download"] = InstantJson(*r.last_download, facts);
    if (r.last_upload) out["last_upload"] = InstantJson(*r.last_upload, facts);
  }
  out["synchroniser"] = std::move(sync);
  if (facts.store) {
    const StoreFacts& s = *facts.store;
    json refused = json::array();
    for (const StoreFacts::RefusedOrder& o : s.refused_today) {
      refused.push_back({{"central_number", o.central_number},
                         {"attempts", o.attempts},
                         {"diagnosis", o.diagnosis},
                         {"last_at", o.last_at.ToPacketText()}});
    }
    json scheduled = json::array();
    for (const StoreFacts::ScheduledOrder& o : s.scheduled) {
      scheduled.push_back({{"order", o.order}, {"release_at", o.release_at.ToPacketText()}});
    }
    out["store"] = {{"refused_today", std::move(refused)},
                    {"owed_tickets", s.owed_tickets},
                    {"oldest_owed_ticket", OptionalDate(s.oldest_owed_ticket)},
                    {"unsynced_tabs", s.unsynced_tabs},
                    {"oldest_unsynced_tab", OptionalDate(s.oldest_unsynced_tab)},
                    {"router_waiting", s.router_waiting},
                    {"scheduled", std::move(scheduled)}};
  } else {
    out["store"] = nullptr;
    out["store_error"] = facts.store_error;
  }
  return out.dump(2) + "\n";
}

std::string MaskConnectionString(const std::string& connection) {
  std::string out;
  std::size_t pos = 0;
  while (pos < connection.size()) {
    const std::size_t eq = connection.find('=', pos);
    if (eq == std::string::npos) {
      out += connection.substr(pos);
      break;
    }
    std::string key = connection.substr(pos, eq - pos);
    // A value in braces may hold semicolons; "}}" inside stands for one brace.
    std::size_t end = eq + 1;
    if (end < connection.size() && connection[end] == '{') {
      for (++end; end < connection.size(); ++end) {
        if (connection[end] != '}') continue;
        if (end + 1 < connection.size() && connection[end + 1] == '}') {
          ++end;
          continue;
        }
        ++end;
        break;
      }
    }
    end = std::min(connection.find(';', end), connection.size());
    out += key + '=';
    std::erase(key, ' ');
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    out += key == "PWD" || key == "PASSWORD" ? "*****" : connection.substr(eq + 1, end - eq - 1);
    if (end < connection.size()) out += ';';
    pos = end + 1;
  }
  return out;
}

}  // namespace zlv
