#include "health/status_report.h"

#include <functional>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace zlv {
namespace {

const DateTime kNow = DateTime::FromCivil(2026, 12, 8, 20, 0, 0);
constexpr double kSteadyNow = 100000;

// A synchroniser that runs and is well: alive 10 s ago, orders downloaded 20 s ago.
StatusFacts Healthy() {
  StatusFacts f;
  f.now = {kNow, kSteadyNow};
  f.boot_id = "boot-1";
  f.branch = "0001";
  f.cash_register = "001";
  f.liveness = Liveness::kRunning;
  HealthRecord r;
  r.pid = 42;
  r.service = true;
  r.boot_id = "boot-1";
  r.started = {kNow.AddSeconds(-3600), kSteadyNow - 3600};
  r.heartbeat = {kNow.AddSeconds(-10), kSteadyNow - 10};
  r.last_download = Instant{kNow.AddSeconds(-20), kSteadyNow - 20};
  r.last_upload = Instant{kNow.AddSeconds(-20), kSteadyNow - 20};
  f.record = r;
  f.store = StoreFacts{};
  return f;
}

TEST(AssessTest, EachFactGivesItsLevel) {
  struct Case {
    const char* name;
    std::function<void(StatusFacts&)> change;
    StatusLevel level;
    const char* reason;  // part of the first reason; empty: none
  };
  const DateTime old_tab = kNow.AddSeconds(-11 * 60);
  const Case cases[] = {
      {"healthy", [](StatusFacts&) {}, StatusLevel::kHealthy, ""},
      {"wall clock set two hours on", [](StatusFacts& f) { f.now.at = kNow.AddSeconds(7200); },
       StatusLevel::kHealthy, ""},
      {"silent for 3 minutes", [](StatusFacts& f) { f.record->heartbeat.steady -= 200; },
       StatusLevel::kNotWorking, "sem sinal de vida"},
      {"record of an earlier boot", [](StatusFacts& f) { f.boot_id = "boot-2"; },
       StatusLevel::kNotWorking, "antes do último reinício"},
      {"record from before a restart where no boot id is known",
       [](StatusFacts& f) {
         f.boot_id.clear();
         f.now.steady = 50;
       },
       StatusLevel::kNotWorking, "sem sinal de vida"},
      {"no download for 5 minutes", [](StatusFacts& f) { f.record->last_download->steady -= 300; },
       StatusLevel::kNotWorking, "nenhum BaixaPedidos"},
      {"no download since a start long ago",
       [](StatusFacts& f) { f.record->last_download.reset(); }, StatusLevel::kNotWorking,
       "desde o início"},
      {"no download yet, just started",
       [](StatusFacts& f) {
         f.record->last_download.reset();
         f.record->started.steady = kSteadyNow - 60;
       },
       StatusLevel::kHealthy, ""},
      {"stopped a moment ago", [](StatusFacts& f) { f.liveness = Liveness::kNotRunning; },
       StatusLevel::kAttention, "nenhum sincronizador rodando"},
      {"store database unreachable",
       [](StatusFacts& f) {
         f.store.reset();
         f.store_error = "recusado";
       },
       StatusLevel::kNotWorking, "banco da loja inacessível: recusado"},
      {"an order refused today",
       [](StatusFacts& f) {
         f.store->refused_today.push_back({"123", 2, "Produto 9", kNow});
       },
       StatusLevel::kAttention, "1 pedido(s) recusado(s)"},
      {"a ticket owed", [](StatusFacts& f) { f.store->owed_tickets = 1; }, StatusLevel::kAttention,
       "ticket(s) pendente(s)"},
      {"upload backlog of 11 minutes",
       [&](StatusFacts& f) {
         f.store->unsynced_tabs = 1;
         f.store->oldest_unsynced_tab = old_tab;
         f.record->last_upload->steady -= 11 * 60;
       },
       StatusLevel::kAttention, "comandas não sincronizadas"},
      {"old tab changed since the last upload",
       [&](StatusFacts& f) {
         f.store->unsynced_tabs = 1;
         f.store->oldest_unsynced_tab = old_tab;
       },
       StatusLevel::kHealthy, ""},
      {"upload backlog of 9 minutes",
       [](StatusFacts& f) {
         f.store->unsynced_tabs = 1;
         f.store->oldest_unsynced_tab = kNow.AddSeconds(-9 * 60);
       },
       StatusLevel::kHealthy, ""},
      {"never ran here", [](StatusFacts& f) { f.record.reset(); }, StatusLevel::kNotWorking,
       "nunca rodou"},
      {"record unreadable",
       [](StatusFacts& f) {
         f.record.reset();
         f.record_error = "formato";
       },
       StatusLevel::kUnreadable, "ilegível"},
      {"most serious first",
       [](StatusFacts& f) {
         f.store->owed_tickets = 1;
         f.record->heartbeat.steady -= 200;
       },
       StatusLevel::kNotWorking, "sem sinal de vida"},
  };
  for (const Case& c : cases) {
    StatusFacts facts = Healthy();
    c.change(facts);
    const StatusVerdict verdict = Assess(facts);
    EXPECT_EQ(verdict.level, c.level) << c.name;
    if (*c.reason == '\0') {
      EXPECT_TRUE(verdict.reasons.empty()) << c.name << ": " << verdict.reasons.front();
    } else {
      ASSERT_FALSE(verdict.reasons.empty()) << c.name;
      EXPECT_NE(verdict.reasons.front().find(c.reason), std::string::npos)
          << c.name << ": " << verdict.reasons.front();
    }
  }
}

TEST(StatusReportTest, TextAndJsonCarryTheSameFacts) {
  StatusFacts facts = Healthy();
  facts.store->refused_today.push_back({"777", 3, "Produto 9 não cadastrado", kNow});
  facts.store->scheduled.push_back({"000045", kNow.AddSeconds(1800)});
  facts.record->last_cycle = HealthRecord::Cycle{.started = facts.record->heartbeat,
                                                 .ended = facts.record->heartbeat,
                                                 .ok = false,
                                                 .server_reached = true,
                                                 .failure_line = "Erro ao inserir pedido 777",
                                                 .counters = {}};
  const StatusVerdict verdict = Assess(facts);

  const std::string text = StatusText(facts, verdict);
  for (const char* line :
       {"rodando (modo serviço, PID 42", "com falha: Erro ao inserir pedido 777",
        "pedido 777: 3 tentativa(s)", "Produto 9 não cadastrado",
        "pedido 000045: liberação em 08/12/2026 20:30:00", "Situação: PRECISA DE ATENÇÃO (1)"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  const nlohmann::json json = nlohmann::json::parse(StatusJson(facts, verdict));
  EXPECT_EQ(json["status"], 1);
  EXPECT_EQ(json["synchroniser"]["mode"], "service");
  EXPECT_EQ(json["synchroniser"]["heartbeat"]["age_seconds"], 10);
  EXPECT_EQ(json["last_cycle"]["failure_line"], "Erro ao inserir pedido 777");
  EXPECT_EQ(json["store"]["refused_today"][0]["central_number"], "777");
  EXPECT_EQ(json["store"]["scheduled"][0]["release_at"], "2026-12-08T20:30:00");
}

TEST(MaskConnectionStringTest, HidesOnlyPasswords) {
  const std::pair<const char*, const char*> cases[] = {
      {"Driver={ODBC Driver 18 for SQL Server};Server=db;UID=sa;PWD=s3cr3t;",
       "Driver={ODBC Driver 18 for SQL Server};Server=db;UID=sa;PWD=*****;"},
      {"DSN=loja;pwd={a;b}}c};UID=x", "DSN=loja;pwd=*****;UID=x"},
      {"DSN=loja; Password =x", "DSN=loja; Password =*****"},
      {"sqlite:/opt/zlvsinc/Dados/ZlvSinc.db", "sqlite:/opt/zlvsinc/Dados/ZlvSinc.db"},
  };
  for (const auto& [given, shown] : cases) EXPECT_EQ(MaskConnectionString(given), shown) << given;
}

}  // namespace
}  // namespace zlv
