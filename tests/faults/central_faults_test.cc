// Bad answers from the central server under a whole synchronisation run, over framed TCP and
// over HTTPS: the relay in front of the reference server rewrites its answer to BaixaPedidos (or
// AtualizaPedidos) as a faulty or hostile server would send it. A download that cannot be trusted
// must leave the store database as it was and the orders pending at the server; texts that are
// merely unusual (quotes, semicolons, characters outside Windows-1252) must arrive intact. The
// client's own handling of the transport (refused, dropped mid-frame, too slow, over-limit frames,
// errors) is tested in src/sync/central_client_test.cc.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "log_match.h"
#include "support/temp_dir.h"
#include "sync_fixture.h"
#include "ticket_watch.h"

namespace zlv::test {
namespace {

using nlohmann::json;

// Positions of the download sets in the BaixaPedidos result.
constexpr int kCons = 0;
constexpr int kVendaRest = 2;
constexpr int kComandaVen = 3;
constexpr int kItComandaVen = 4;
constexpr int kMovCaixaDlv = 6;

int Column(const json& packet, const std::string& name) {
  const json& fields = packet.at("fields");
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].at("name") == name) return static_cast<int>(i);
  }
  throw std::logic_error("no column " + name);
}

// Rewrites the result array of an answer with `edit`.
DroppingProxy::Rewrite EditResult(std::function<void(json& result)> edit) {
  return [edit](const std::string& payload) {
    json answer = json::parse(payload);
    edit(answer.at("result"));
    return answer.dump();
  };
}

// Sets one cell of every row of a set's packet.
std::function<void(json&)> SetCells(int set, std::string column, json value) {
  return [=](json& result) {
    json& packet = result.at(set);
    const int at = Column(packet, column);
    for (json& row : packet.at("rows")) row.at(at) = value;
  };
}

// Changes the declared type of a column, its cells kept as the server wrote them.
std::function<void(json&)> Retype(int set, std::string column, std::string type) {
  return [=](json& result) {
    json& packet = result.at(set);
    packet.at("fields").at(Column(packet, column))["type"] = type;
  };
}

std::function<void(json&)> DropColumn(int set, std::string column) {
  return [=](json& result) {
    json& packet = result.at(set);
    const int at = Column(packet, column);
    packet.at("fields").erase(at);
    for (json& row : packet.at("rows")) row.erase(at);
  };
}

// Each fault over both links: framed TCP and HTTPS (GetParam()).
class CentralFaultTest : public ::testing::TestWithParam<bool> {
 protected:
  int64_t StoreRows() {
    return s.Count(
        "SELECT (SELECT COUNT(*) FROM VENDAREST) + (SELECT COUNT(*) FROM COMANDAVEN) + "
        "(SELECT COUNT(*) FROM ITCOMANDAVEN) + (SELECT COUNT(*) FROM MOVCAIXADLV) + "
        "(SELECT COUNT(*) FROM CONSUMIDOR) + (SELECT COUNT(*) FROM CONSUMIFILIAL)");
  }

  SyncInstallation s{{.through_proxy = true, .https = GetParam()}};
};

INSTANTIATE_TEST_SUITE_P(Links, CentralFaultTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Https" : "Tcp";
                         });

TEST_P(CentralFaultTest, DownloadThatCannotBeTrustedLeavesTheStoreUntouchedAndOrdersPending) {
  struct Case {
    const char* fault;
    DroppingProxy::Rewrite rewrite;
    std::string line;  // how the log line after `Método "BaixaPedidos": Erro -> ` begins
  };
  const std::string bad = "resposta inválida do servidor central a BaixaPedidos: ";
  const std::string bad_packet = bad + "malformed data packet: row 1";
  const std::vector<Case> cases = {
      {"invalid JSON", [](const std::string& p) { return p.substr(0, p.size() / 2); },
       bad + "JSON inválido"},
      {"text in a number column", EditResult(SetCells(kMovCaixaDlv, "VRMOVIVENDDLV", "doze")),
       bad_packet + ", field VRMOVIVENDDLV: expected a number"},
      {"impossible date-time",
       EditResult(SetCells(kVendaRest, "DTHRABERMESA", "2024-02-30T19:00:00")),
       bad_packet + ", field DTHRABERMESA: bad date-time \"2024-02-30T19:00:00\""},
      {"regional date-time", EditResult(SetCells(kVendaRest, "DTHRABERMESA", "15/03/2024")),
       bad_packet + ", field DTHRABERMESA: bad date-time \"15/03/2024\""},
      {"row shorter than its fields",
       EditResult([](json& r) { r.at(kItComandaVen).at("rows").at(0).erase(0); }),
       bad_packet + " has "},
      {"ten packets instead of eleven", EditResult([](json& r) { r.erase(r.size() - 1); }),
       "BaixaPedidos: o servidor central enviou 10 itens em vez de 11 pacotes de dados"},
      {"text where a packet belongs", EditResult([](json& r) { r.at(kComandaVen) = "x"; }),
       "BaixaPedidos: o item 3 enviado pelo servidor central não é um pacote de dados"},
  };
  const std::vector<std::string> sales = s.AddOrders(3);
  const int64_t rows_before = StoreRows();
  TicketWatch watch(s.TicketFolder());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    s.proxy().RewriteAnswersTo("BaixaPedidos", c.rewrite);
    s.Tick();
    const Lines run = s.LastRun();
    EXPECT_TRUE(ContainsPrefix(run, std::string("Método \"BaixaPedidos\": Erro -> ") + c.line))
        << "the log must say what was wrong";
    EXPECT_FALSE(ContainsPrefix(run, "Metodo -> \"InserePedido\""));
    EXPECT_EQ(StoreRows(), rows_before);
    EXPECT_TRUE(watch.Take().empty());
    EXPECT_EQ(s.CentralCounts().orders_pending, 3);
    EXPECT_FALSE(s.db().InTransaction());
  }
  // Each malformed message dropped the connection; each tick made it again.
  EXPECT_GE(s.CountLogged("Desconectado do servidor."), 1);

  s.proxy().RewriteAnswersTo("", nullptr);
  s.Tick();
  for (const std::string& sale : sales) EXPECT_NE(s.LocalSale(sale), "") << sale;
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
}

// Well-formed packets that do not fit the store's tables: every order fails on its own, is
// recorded as failed and stays at the server; nothing of it is written.
TEST_P(CentralFaultTest, PacketsThatDoNotFitTheStoreFailEachOrderAndKeepThemPending) {
  struct Case {
    const char* fault;
    std::function<void(json&)> edit;
    const char* table;  // the rows that must not be written
  };
  const std::vector<Case> cases = {
      {"sale without its opening time", DropColumn(kVendaRest, "DTHRABERMESA"), "VENDAREST"},
      {"items without their product", DropColumn(kItComandaVen, "CDPRODUTO"), "ITCOMANDAVEN"},
      {"price typed as text with a decimal comma",
       [](json& r) {
         Retype(kItComandaVen, "VRPRECCOMVEN", "string")(r);
         SetCells(kItComandaVen, "VRPRECCOMVEN", "12,5x")(r);
       },
       "ITCOMANDAVEN"},
  };
  const std::vector<std::string> sales = s.AddOrders(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    s.proxy().RewriteAnswersTo("BaixaPedidos", EditResult(c.edit));
    s.Tick();
    const Lines run = s.LastRun();
    for (const std::string& sale : sales) {
      EXPECT_TRUE(Contains(run, "Rollback do pedido NRVENDARESTAUX:" + sale)) << sale;
    }
    EXPECT_TRUE(ContainsPrefix(run, "ERRO: "));
    EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);
    EXPECT_EQ(s.Count(std::string("SELECT COUNT(*) FROM ") + c.table), 0);
    EXPECT_EQ(s.CentralCounts().orders_pending, 2);
    EXPECT_FALSE(s.db().InTransaction());
  }

  s.proxy().RewriteAnswersTo("", nullptr);
  s.Tick();
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM LOGSINCDLV"), 0);
}

TEST_P(CentralFaultTest, QuotesSemicolonsAndCharactersOutsideWindows1252ArriveIntact) {
  const std::string name = "Zoë O'Brien\"; DROP TABLE VENDAREST; -- 🍕 Ωμέγα";
  const std::string note = "Sem cebola'); DELETE FROM ITCOMANDAVEN; -- “bem” passado ⌀";
  const std::vector<std::string> sales = s.AddOrders(1);
  s.proxy().RewriteAnswersTo("BaixaPedidos", EditResult([&](json& r) {
                               SetCells(kCons, "NMCONSUMIDOR", name)(r);
                               SetCells(kComandaVen, "DSCONSUMIDOR", name)(r);
                               SetCells(kItComandaVen, "TXPRODCOMVEN", note)(r);
                               // Not a marketplace order: the item's notes are printed.
                               SetCells(kComandaVen, "IDORGCMDVENDA", "DLV_APP")(r);
                             }));
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  const std::string sale = s.LocalSale(sales[0]);
  ASSERT_NE(sale, "");
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
  EXPECT_EQ(s.Value("SELECT DSCONSUMIDOR FROM COMANDAVEN WHERE NRVENDAREST = '" + sale + "'"),
            name);
  EXPECT_EQ(
      s.Value("SELECT MIN(TXPRODCOMVEN) FROM ITCOMANDAVEN WHERE NRVENDAREST = '" + sale + "'"),
      note);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM CONSUMIDOR WHERE NMCONSUMIDOR = '" +
                    std::string("Zoë O''Brien\"; DROP TABLE VENDAREST; -- 🍕 Ωμέγα") + "'"),
            1);
  // The tickets hold the texts in Windows-1252, a '?' for each character it lacks.
  std::string tickets;
  for (const std::string& file : watch.Take()) {
    tickets += ReadFileBytes(s.TicketFolder() / file);
  }
  ASSERT_FALSE(tickets.empty());
  EXPECT_NE(tickets.find("CONSUMIDOR.: Zo\xEB O'Brien\"; DROP TABLE VENDAREST; -- ? ?????\r\n"),
            std::string::npos);
  // The kitchen ticket lists an item's notes split at the semicolons.
  EXPECT_NE(tickets.find("   * Sem cebola')\r\n   * DELETE FROM ITCOMANDAVEN\r\n"),
            std::string::npos);
}

// The server's error text is logged inside our own line: its line breaks cannot start a line
// that looks like ours, and a huge one cannot fill the disk.
TEST_P(CentralFaultTest, ForgedLogLineFromServerError) {
  const std::string forged = "falhou\r\n08/12/2026 20:00:00 - FIM -> SincronizaDLV";
  const std::vector<std::string> messages = {forged, std::string(16 * 1024 * 1024, 'x')};
  for (const std::string& message : messages) {
    s.proxy().RewriteAnswersTo("BaixaPedidos", [&message](const std::string& payload) {
      json answer = json::parse(payload);
      answer.erase("result");
      answer["error"] = {{"code", -32000}, {"message", message}};
      return answer.dump();
    });
    s.Tick();
  }
  const Lines lines = s.LogLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("Método \"BaixaPedidos\": Erro -> ") &&
           line.ends_with("falhou\\r\\n08/12/2026 20:00:00 - FIM -> SincronizaDLV");
  }));
  EXPECT_EQ(s.CountLogged("FIM -> SincronizaDLV"), 2);
  for (const std::string& line : lines) EXPECT_LT(line.size(), 2200u);
}

// The answer to an upload batch lacks its code column: the batch is logged as failed and
// nothing of the answer is applied; the orders go up again at the next run.
TEST_P(CentralFaultTest, UploadAnswerWithoutItsCodeColumnChangesNothing) {
  s.InsertPendingSales(3);
  s.proxy().RewriteAnswersTo("AtualizaPedidos",
                             EditResult([](json& r) { DropColumn(1, "SGSEXOCON")(r); }));
  s.Tick();
  EXPECT_TRUE(ContainsPrefix(s.LastRun(), "Método \"AtualizaPedidos\": Erro -> "));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE IDSINCRONIZADO = 'S'"), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 0);

  s.proxy().RewriteAnswersTo("", nullptr);
  s.Tick();
  EXPECT_TRUE(Contains(s.LastRun(), "Enviando 3 de 3"));
  EXPECT_FALSE(ContainsPrefix(s.LastRun(), "Método \"AtualizaPedidos\": Erro -> "));
}

}  // namespace
}  // namespace zlv::test
