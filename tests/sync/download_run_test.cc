// The download half of a synchronisation run against the reference central server: what is
// written, printed and confirmed, in which order, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <mutex>
#include <regex>
#include <set>
#include <utility>
#include <vector>

#include "central/channel_order.h"
#include "log_match.h"
#include "sync_fixture.h"
#include "ticket_watch.h"

namespace zlv::test {
namespace {

// A ticket file name: <printer><order><kind>...; the demo store's printers are 1 to 3.
struct Ticket {
  std::string order;
  std::string kind;  // P_, P2_, U_, E, C_, C2_
};

Ticket ParseTicket(const std::string& name) {
  static const std::regex pattern(R"(^([1-3])(\d+)(P2_|P_|U_|C2_|C_|E)\d.*\.txt$)");
  std::smatch match;
  if (!std::regex_match(name, match, pattern)) return {"", name};
  return {match[2], match[3]};
}

TEST(DownloadRun, EmptyDownloadGoesStraightToTheUploadAndRearmsTheTimer) {
  SyncInstallation s;
  s.Tick();

  EXPECT_EQ(s.LastRun(),
            (Lines{"INICIO -> SincronizaDLV -> Filial: 0001 - Loja: 001",
                   "BaixaPedidos -> baixa os novos pedidos", "Nenhum pedido pendente no servidor",
                   "Utiliza Roteirizador: N", "AtualizaPedidos -> status e NRVENDARESTAUX",
                   "Quantidade a ser enviada ao servidor: 0  (0)", "FIM -> SincronizaDLV"}));
  const Lines all = s.LogLines();
  EXPECT_EQ(all.front(), "Conectado no servidor.");
  EXPECT_EQ(all.back(), "");
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ZLVSINCEXECUTA WHERE CDFILIAL = '0001' AND "
                    "CDLOJA = '001'"),
            1);
  EXPECT_EQ(s.trim_calls(), 1);
  EXPECT_FALSE(s.timer_on_during_run());
  ASSERT_TRUE(s.timer().Enabled());
  EXPECT_EQ(*s.timer().DueTime(), s.clock().Now().AddSeconds(30));
  EXPECT_TRUE(s.globals().gLiberaReinicio);
}

TEST(DownloadRun, ServerMessageOrErrorWritesNothingAndTheOrdersComeLater) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(1);
  s.central().AddMessage("BaixaPedidos", kFilial, kLoja, {"Servidor em manutenção", false});
  s.Tick();
  Lines run = s.LastRun();
  EXPECT_TRUE(Contains(run, "Retorno KRV.BaixaPedidos: Servidor em manutenção"));
  EXPECT_FALSE(ContainsPrefix(run, "Metodo -> \"InserePedido"));
  EXPECT_TRUE(Contains(run, "AtualizaPedidos -> status e NRVENDARESTAUX"));

  s.central().AddMessage("BaixaPedidos", kFilial, kLoja, {"Base central indisponível", true});
  s.Tick();
  run = s.LastRun();
  EXPECT_TRUE(ContainsPrefix(run, "Método \"BaixaPedidos\": Erro -> "));
  EXPECT_FALSE(Contains(run, "Utiliza Roteirizador: N"));
  EXPECT_TRUE(Contains(run, "AtualizaPedidos -> status e NRVENDARESTAUX"));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);

  s.Tick();
  EXPECT_TRUE(Contains(s.LastRun(), "Commit do pedido NRVENDARESTAUX:" + sales[0]));
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
}

TEST(DownloadRun, ThreeOrdersGetTheirTicketsOrderByOrderBeforeTheServerIsTold) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(3);
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  // Order i's numbers as the tickets show them (DSCOMANDA without "DLV_").
  std::vector<std::set<std::string>> numbers;
  for (const std::string& sale : sales) {
    const DataPacket tabs = s.db().real().Query(
        "SELECT substr(CV.DSCOMANDA, 5) FROM COMANDAVEN CV JOIN VENDAREST VR ON "
        "VR.CDFILIAL = CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST WHERE "
        "VR.NRVENDARESTAUX = ?",
        {Variant(sale)});
    ASSERT_FALSE(tabs.rows.empty()) << "order " << sale << " not written";
    numbers.emplace_back();
    for (const auto& row : tabs.rows) numbers.back().insert(row[0].AsText());
  }
  const std::vector<std::string> kinds = {"P_", "P2_", "U_", "E"};
  std::vector<std::pair<size_t, size_t>> sequence;  // (order, ticket call)
  std::vector<std::set<std::string>> seen(sales.size());
  for (const std::string& name : watch.Take()) {
    const Ticket ticket = ParseTicket(name);
    const auto kind = std::find(kinds.begin(), kinds.end(), ticket.kind);
    ASSERT_NE(kind, kinds.end()) << "unexpected ticket " << name;
    size_t order = sales.size();
    for (size_t i = 0; i < sales.size(); ++i) {
      if (numbers[i].count(ticket.order)) order = i;
    }
    ASSERT_LT(order, sales.size()) << "ticket of no downloaded order: " << name;
    sequence.emplace_back(order, static_cast<size_t>(kind - kinds.begin()));
    seen[order].insert(ticket.kind);
  }
  EXPECT_TRUE(std::is_sorted(sequence.begin(), sequence.end()))
      << "tickets not written order by order, kitchen, bar, puxa, delivery";
  for (size_t i = 0; i < sales.size(); ++i) {
    EXPECT_TRUE(seen[i].count("P_") && seen[i].count("U_") && seen[i].count("E"))
        << "order " << sales[i] << " lacks a kitchen, puxa or delivery ticket";
  }

  const Lines run = s.LastRun();
  EXPECT_FALSE(ContainsPrefix(run, "Método \"MontaArquivo"));
  size_t at = 0;
  for (const std::string& sale : sales) {
    at = IndexOf(run, "Commit do pedido NRVENDARESTAUX:" + sale, at);
    ASSERT_LT(at, run.size()) << "order " << sale << " not committed in download order";
  }
  EXPECT_LT(at, IndexOf(run, "Atualiza status para sincronizado"));
  EXPECT_TRUE(Contains(run, "Quantidade a ser enviada ao servidor: 3  (" +
                                std::to_string(s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN")) +
                                ")"));
  EXPECT_TRUE(Contains(run, "Enviando 3 de 3"));
  const StoreCounts counts = s.CentralCounts();
  EXPECT_EQ(counts.orders_confirmed, 3);
  EXPECT_EQ(counts.orders_pending, 0);
  EXPECT_EQ(counts.sales_uploaded, 3);
}

TEST(DownloadRun, OnlyCancellationsArePrintedAppliedAndConfirmed) {
  SyncInstallation s;
  s.AddOrders(2);
  s.Tick();
  const std::vector<std::string> cancelled =
      s.central().CancelOrders(kFilial, kLoja, 1, s.clock().Now());
  ASSERT_EQ(cancelled.size(), 1u);
  const std::string local = s.LocalSale(cancelled[0]);

  TicketWatch watch(s.TicketFolder());
  s.Tick();
  const std::vector<std::string> tickets = watch.Take();
  ASSERT_FALSE(tickets.empty());
  for (const std::string& name : tickets) {
    const std::string kind = ParseTicket(name).kind;
    EXPECT_TRUE(kind == "C_" || kind == "C2_") << "not a cancellation ticket: " << name;
  }
  EXPECT_EQ(std::set<std::string>(tickets.begin(), tickets.end()).size(), tickets.size())
      << "a cancellation ticket written twice";
  const Lines run = s.LastRun();
  EXPECT_FALSE(ContainsPrefix(run, "Metodo -> \"InserePedido\" - "));
  EXPECT_TRUE(Contains(run, "Atualiza status para sincronizado"));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE NRVENDAREST = '" + local +
                    "' AND IDSTCOMANDA <> '4'"),
            0);
  EXPECT_EQ(s.CentralCounts().cancels_confirmed, 1);
}

// Regression: with every downloaded order failing, cdsVendaRest is empty after the order
// writer, and the cancellations of the same download were printed a second time.
TEST(DownloadRun, CancellationsArePrintedOnceWhenEveryNewOrderFails) {
  SyncInstallation s;
  s.AddOrders(1);
  s.Tick();
  s.central().CancelOrders(kFilial, kLoja, 1, s.clock().Now());
  const std::vector<std::string> failing = s.AddOrders(1);
  s.db().FailExecutes("INSERT INTO VENDAREST", "disco cheio");

  TicketWatch watch(s.TicketFolder());
  s.Tick();
  const std::vector<std::string> tickets = watch.Take();
  ASSERT_FALSE(tickets.empty());
  EXPECT_EQ(std::set<std::string>(tickets.begin(), tickets.end()).size(), tickets.size())
      << "a cancellation ticket written twice";
  EXPECT_EQ(s.LocalSale(failing[0]), "");
  const StoreCounts counts = s.CentralCounts();
  EXPECT_EQ(counts.cancels_confirmed, 1);
  EXPECT_EQ(counts.orders_pending, 1) << "a failed order was confirmed to the server";
}

// Regression: a refused commit of the consumer-per-branch rows and cancellations left their
// transaction open; the next order then committed (or rolled back) that work with its own.
TEST(DownloadRun, RefusedCommitIsRolledBackAndNothingIsConfirmed) {
  SyncInstallation s;
  s.AddOrders(1);
  s.Tick();
  const std::vector<std::string> cancelled =
      s.central().CancelOrders(kFilial, kLoja, 1, s.clock().Now());
  const std::string local = s.LocalSale(cancelled.at(0));
  const std::string open_tabs =
      "SELECT COUNT(*) FROM COMANDAVEN WHERE NRVENDAREST = '" + local + "' AND IDSTCOMANDA <> '4'";
  ASSERT_GT(s.Count(open_tabs), 0);

  s.db().FailNextCommit("deadlock detectado");
  s.Tick();
  EXPECT_TRUE(Contains(s.LastRun(), "Método \"BaixaPedidos\": Erro -> deadlock detectado"));
  EXPECT_FALSE(s.db().InTransaction());
  EXPECT_GT(s.Count(open_tabs), 0);
  EXPECT_EQ(s.CentralCounts().cancels_confirmed, 0);

  s.Tick();
  EXPECT_EQ(s.Count(open_tabs), 0);
  EXPECT_EQ(s.CentralCounts().cancels_confirmed, 1);
}

// The watchdog's routine restart waits from the moment the download is asked for until the
// server is told what was written: a restart in between leaves orders half written, or written
// and never confirmed.
TEST(DownloadRun, RestartIsHeldFromTheDownloadToTheConfirmation) {
  SyncInstallation s({.through_proxy = true});
  s.AddOrders(2);
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> seen;  // each step, and whether a restart was free
  auto note = [&](std::string step) {
    std::lock_guard lock(mutex);
    seen.emplace_back(std::move(step), s.globals().gLiberaReinicio.load());
  };
  s.proxy().WatchRequests([&](const std::string& request) {
    for (const char* method : {"BaixaPedidos", "UpdateSincronismo"}) {
      if (request.find(method) != std::string::npos) note(method);
    }
  });
  s.db().BeforeBegin([&] { note("BEGIN"); });
  s.Tick();
  s.proxy().WatchRequests(nullptr);
  s.db().ClearFaults();

  std::lock_guard lock(mutex);
  auto step = [&](const std::string& name) {
    return std::ranges::find(seen, name, &std::pair<std::string, bool>::first);
  };
  const auto download = step("BaixaPedidos");
  const auto confirmation = step("UpdateSincronismo");
  ASSERT_NE(download, seen.end());
  ASSERT_NE(confirmation, seen.end());
  EXPECT_GT(std::count_if(download, confirmation, [](const auto& p) { return p.first == "BEGIN"; }),
            0)
      << "the orders are written in between";
  for (auto it = download; it <= confirmation; ++it) {
    EXPECT_FALSE(it->second) << "restart free at " << it->first;
  }
  EXPECT_TRUE(s.globals().gLiberaReinicio) << "free again when the run ends";
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
}

// The server gone in the middle of a run, over framed TCP and over HTTPS (GetParam()).
class ServerGone : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Links, ServerGone, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Https" : "Tcp";
                         });

TEST_P(ServerGone, BeforeTheConfirmationLosesNothingAndWritesNothingTwice) {
  SyncInstallation s({.through_proxy = true, .https = GetParam()});
  const std::vector<std::string> sales = s.AddOrders(3);
  s.proxy().DropNextRequestFor("UpdateSincronismo");
  TicketWatch watch(s.TicketFolder());
  s.Tick();

  EXPECT_EQ(s.proxy().drops(), 1);
  Lines run = s.LastRun();
  EXPECT_TRUE(ContainsPrefix(run, "Erro: UpdateSincronismo -> "));
  EXPECT_TRUE(Contains(run, "Desconectado do servidor."));
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 3);
  EXPECT_EQ(s.CentralCounts().orders_pending, 3);
  const int64_t tabs = s.Count("SELECT COUNT(*) FROM COMANDAVEN");
  const int64_t items = s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN");
  EXPECT_FALSE(watch.Take().empty());
  EXPECT_TRUE(s.globals().gLiberaReinicio);

  s.Tick();
  run = s.LastRun();
  EXPECT_EQ(s.CountLogged("Conectado no servidor."), 2);
  for (const std::string& sale : sales) {
    EXPECT_TRUE(Contains(run, "Pedido duplicado: NRVENDARESTAUX " + sale));
  }
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 3);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN"), tabs);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN"), items);
  EXPECT_TRUE(watch.Take().empty()) << "orders printed twice";
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 3);
  EXPECT_EQ(s.CentralCounts().orders_pending, 0);
}

// The connection drops after the store applied a cancellation and before the server recorded
// its confirmation: the server hands the same cancellation out again.
TEST_P(ServerGone, BeforeACancellationsConfirmationItIsNeitherPrintedNorAppliedTwice) {
  SyncInstallation s({.through_proxy = true, .https = GetParam()});
  s.AddOrders(1);
  s.Tick();
  const std::string local =
      s.LocalSale(s.central().CancelOrders(kFilial, kLoja, 1, s.clock().Now()).at(0));
  s.proxy().DropNextRequestFor("UpdateSincronismo");
  TicketWatch watch(s.TicketFolder());
  s.Tick();
  ASSERT_EQ(s.CentralCounts().cancels_confirmed, 0);
  ASSERT_FALSE(watch.Take().empty());

  s.Tick();
  EXPECT_EQ(watch.Take(), std::vector<std::string>{}) << "a cancellation printed twice";
  EXPECT_EQ(s.CentralCounts().cancels_confirmed, 1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM COMANDAVEN WHERE NRVENDAREST = '" + local +
                    "' AND IDSTCOMANDA <> '4'"),
            0);
  EXPECT_FALSE(ContainsPrefix(s.LastRun(), "Erro"));
}

// An order whose central number and opening day the store already holds under another consumer
// passes the first duplicate check and is caught by the last one. It was rolled back and never
// confirmed, so the server sent it every run for ever and nobody saw why.
// An order a channel sent the hub, in the channel's words, is written by the store whole: the
// rows the hub made of it fit the store's tables, codes and keys.
TEST(DownloadRun, AChannelsOrderIsWrittenWithItsComboObservationAndChange) {
  SyncInstallation s;
  const StoreSchema schema = StoreSchema::FromDatabase(s.db().real());
  const BranchSettings settings{
      kFilial, "0001", "9999", "0001", "DLV_ZLV", {{"cash", "001"}, {"change", "004"}}, "", "", ""};
  std::vector<ConsumerRecord> consumers = s.central().Consumers();
  ChannelOrderContext context{
      schema,
      settings,
      kLoja,
      SystemClock().Now(),
      [&s](const std::string& counter) { return s.central().NextNumber(counter); },
      [](const std::string&) { return std::optional<DateTime>(); },
      consumers};
  const nlohmann::json body = R"({
    "external_id": "web-1", "display_id": "4321", "branch": "0001", "store": "001",
    "customer": {"name": "Beatriz Ramos", "phone": "11955554444",
                 "address": {"street": "Rua Augusta", "number": "500", "state": "SP"}},
    "items": [
      {"product": "10001", "quantity": 2, "unit_price": 25.90,
       "observations": [{"group": "01", "code": "001"}]},
      {"product": "20001", "quantity": 1,
       "components": [{"product": "10002", "quantity": 1, "unit_price": 22.90},
                      {"product": "10004", "quantity": 1, "unit_price": 6.50}]}],
    "delivery_fee": 5.90,
    "payments": [{"method": "cash", "amount": 87.10, "change_for": 100}]
  })"_json;
  HubTransaction transaction(s.central());
  const GeneratedOrder order = BuildChannelOrder(body, context);
  s.central().AddOrder(order, context.now);
  s.central().SaveConsumers(consumers);
  transaction.Commit();

  s.Tick();
  const std::string local = s.LocalSale(order.sale);
  ASSERT_FALSE(local.empty()) << testing::PrintToString(s.LastRun());
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN WHERE NRVENDAREST = '" + local + "'"), 3);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ITCOMANDAVEN WHERE NRVENDAREST = '" + local +
                    "' AND CDPRODPROMOCAO = '20001'"),
            2);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM OBSITCOMANDAVEN WHERE NRVENDAREST = '" + local + "'"), 1);
  EXPECT_EQ(s.Value("SELECT SUM(CASE IDTIPOMOVIVEDLV WHEN 'E' THEN VRMOVIVENDDLV ELSE "
                    "-VRMOVIVENDDLV END) FROM MOVCAIXADLV WHERE NRVENDAREST = '" +
                    local + "'"),
            "87.1");
  EXPECT_EQ(s.Value("SELECT NMCONSUMIDOR FROM CONSUMIDOR C JOIN VENDAREST V ON "
                    "V.CDCLIENTE = C.CDCLIENTE AND V.CDCONSUMIDOR = C.CDCONSUMIDOR WHERE "
                    "V.NRVENDAREST = '" +
                    local + "'"),
            "Beatriz Ramos");
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
}

TEST(DownloadRun, OrderCaughtByTheFinalDuplicateCheckIsConfirmedAndRecordedOnce) {
  SyncInstallation s;
  const std::string sale = s.AddOrders(1).at(0);
  const std::string ordered_by =
      s.central()
          .db()
          .Query("SELECT CDCONSUMIDOR FROM CENTRAL_ORDER WHERE NRVENDAREST = ?", {Variant(sale)})
          .rows.at(0)[0]
          .AsText();
  const std::string other = ordered_by == "000003" ? "000002" : "000003";
  // The order's own opening time, which the generator puts minutes back: "now" would be
  // another day in the first minutes after midnight.
  const nlohmann::json packets = nlohmann::json::parse(
      s.central()
          .db()
          .Query("SELECT DSPACKETS FROM CENTRAL_ORDER WHERE NRVENDAREST = ?", {Variant(sale)})
          .rows.at(0)[0]
          .AsText());
  std::string opened;
  for (const nlohmann::json& packet : packets) {
    for (std::size_t i = 0; i < packet["fields"].size() && opened.empty(); ++i) {
      if (packet["fields"][i]["name"] == "DTHRABERMESA") opened = packet["rows"][0][i];
    }
  }
  ASSERT_GE(opened.size(), 19u);
  opened = opened.substr(0, 10) + " " + opened.substr(11, 8);
  s.Sql(
      "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, DTHRABERMESA, NRVENDARESTAUX, "
      "CDCLIENTE, CDCONSUMIDOR) VALUES ('0001', '90001', '001', '" +
      opened + "', '" + sale + "', '0001', '" + other + "')");

  for (int run = 0; run < 3; ++run) s.Tick();

  EXPECT_EQ(s.CountLogged("Pedido duplicado validação no final: NRVENDARESTAUX " + sale), 1);
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
  EXPECT_EQ(s.CentralCounts().orders_pending, 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX = '" + sale + "'"), 1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM LOGSINCDLV WHERE NRVENDARESTAUX = '" + sale + "'"), 1);
  const std::string diagnosis =
      s.Value("SELECT DSLOGMSG FROM LOGSINCDLV WHERE NRVENDARESTAUX = '" + sale + "'");
  EXPECT_NE(diagnosis.find(other), std::string::npos) << diagnosis;
  EXPECT_NE(diagnosis.find(ordered_by), std::string::npos) << diagnosis;
}

}  // namespace
}  // namespace zlv::test
