// The road of an order, end to end: placed at the reference central server, taken by the real
// ZlvSinc executable into the real SQLite store database, printed into the ticket folder,
// confirmed to the server, uploaded, answered "S" then "D", and out of the upload; a
// cancellation; a scheduled order released at its production time; an order handed to the
// delivery router over HTTPS. Each on both of the server's back ends, SQLite and PostgreSQL.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "central/hub_encoding.h"
#include "central/hub_test_backends.h"
#include "central/order_layouts.h"
#include "store_road.h"
#include "support/https_server.h"
#include "support/temp_dir.h"

namespace zlv::test {
namespace {

using Names = std::vector<std::string>;

bool Has(const Names& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The synchroniser's log, for the message of a failed expectation.
std::string LogText(const StoreRoad& road) {
  std::string text = "\nlog:\n";
  for (const std::string& line : road.Log()) text += "  " + line.substr(0, 160) + "\n";
  return text;
}

// The rows of one download set of a central order, as the server holds it.
std::string CentralRows(const StoreRoad& road, const std::string& sale, DownloadSet set) {
  const std::string packets =
      road.Central("SELECT DSPACKETS FROM CENTRAL_ORDER WHERE NRVENDAREST = " + Quoted(sale));
  return std::to_string(OrderPacketsFromText(packets).at(set).rows.size());
}

// The ticket files of a delivery order (a sale), all named after its first order tab: a
// kitchen ticket for each production printer of its items (P, second printer P2), a puxa
// report for each puxa printer (U), and the delivery ticket on register 001's printer 1 (E).
// Store 001 throughout.
Names ExpectedTickets(const StoreRoad& road, const std::string& local_sale) {
  const std::string order =
      road.Store("SELECT MIN(NRCOMANDA) FROM COMANDAVEN WHERE NRVENDAREST = " + Quoted(local_sale));
  const std::string printers =
      " FROM ITCOMANDAVEN IT JOIN PRODLOJA PL ON PL.CDFILIAL = IT.CDFILIAL AND PL.CDLOJA = "
      "'001' AND PL.CDPRODUTO = IT.CDPRODUTO WHERE IT.NRVENDAREST = " +
      Quoted(local_sale) + " AND ";
  const auto file = [&](const char* column, const char* kind) {
    return std::string("SELECT DISTINCT PL.") + column + " || '" + order + kind + "'" + printers +
           "PL." + column + " IS NOT NULL";
  };
  Names names = road.StoreColumn(file("NRSEQIMPRPROD", "P_001.txt") + " UNION " +
                                 file("NRSEQIMPRPROD2", "P2_001.txt") + " UNION " +
                                 file("NRSEQIMPRPUXA", "U_001.txt"));
  names.push_back("1" + order + "E001_001.txt");
  std::sort(names.begin(), names.end());
  return names;
}

// The road on each of the server's back ends: Hub() is a new empty hub database.
class Road : public ::testing::TestWithParam<HubBackend> {
 protected:
  std::string Hub() { return NewHubLocation(GetParam(), hubs_.path()); }

 private:
  TempDir hubs_{"zlv-road-hub"};
};

INSTANTIATE_TEST_SUITE_P(Backends, Road,
                         ::testing::Values(HubBackend::kSqlite, HubBackend::kPostgres),
                         ::testing::PrintToStringParamName());

// One order from the server into the store, its tickets, its confirmation and its uploads until
// the server answers "D".
void FollowOneOrder(StoreRoad& road) {
  const std::string central = road.AddOrders(1).at(0);

  road.RunOnce();
  const std::string local = LocalSale(road, central);
  ASSERT_NE(local, "") << "the order is in the store, its server number in NRVENDARESTAUX";
  EXPECT_NE(local, central) << "under a new local number";
  const Names tabs =
      road.StoreColumn("SELECT NRCOMANDA FROM COMANDAVEN WHERE NRVENDAREST = " + Quoted(local) +
                       " ORDER BY NRCOMANDA");
  EXPECT_EQ(std::to_string(tabs.size()), CentralRows(road, central, kComandaVen));
  for (const std::string& tab : tabs) {
    EXPECT_EQ(road.Store("SELECT DSCOMANDA FROM COMANDAVEN WHERE NRCOMANDA = " + Quoted(tab)),
              "DLV_" + tab);
  }
  EXPECT_EQ(road.Store("SELECT COUNT(*) FROM ITCOMANDAVEN WHERE NRVENDAREST = " + Quoted(local)),
            CentralRows(road, central, kItComandaVen));
  EXPECT_EQ(road.Store("SELECT COUNT(*) FROM LOGSINCDLV"), "0");

  EXPECT_EQ(road.Tickets(), ExpectedTickets(road, local));
  // Every item of every tab is named on the delivery ticket (its printed name).
  const std::string delivery = road.Ticket("1" + tabs.at(0) + "E001_001.txt");
  for (const std::string& name : road.StoreColumn(
           "SELECT IFNULL(PR.NMPRODIMPFIS, PR.NMPRODUTO) FROM ITCOMANDAVEN IT JOIN PRODUTO PR "
           "ON PR.CDPRODUTO = IT.CDPRODUTO WHERE IT.NRVENDAREST = " +
           Quoted(local))) {
    EXPECT_NE(delivery.find(name.substr(0, 20)), std::string::npos) << name << "\n" << delivery;
  }

  const std::string central_state =
      "SELECT STATE FROM CENTRAL_ORDER WHERE NRVENDAREST = " + Quoted(central);
  const std::string answer =
      "SELECT SGSEXOCON FROM CENTRAL_UPLOAD WHERE NRVENDARESTAUX = " + Quoted(central);
  EXPECT_EQ(road.Central(central_state), "CONFIRMED") << "the store told the server it has it";
  EXPECT_EQ(road.Central(answer), "S") << "its state went up; the tab is still open";
  EXPECT_EQ(road.Central("SELECT NRVENDAREST FROM CENTRAL_UPLOAD WHERE NRVENDARESTAUX = " +
                         Quoted(central)),
            local);

  // The print spooler takes the tickets; the register closes the tab.
  road.ClearTickets();
  road.StoreSql("UPDATE COMANDAVEN SET IDSTCOMANDA = 'X' WHERE NRVENDAREST = " + Quoted(local));
  road.RunOnce();
  EXPECT_EQ(road.Central(answer), "D");
  EXPECT_EQ(road.Store("SELECT COUNT(*) FROM COMANDAVEN WHERE IDSINCRONIZADO = 'S' AND "
                       "NRVENDAREST = " +
                       Quoted(local)),
            std::to_string(tabs.size()));
  EXPECT_TRUE(Has(road.Log(), "Pedido totalmente sincronizado - NRVENDAREST: " + local));
  EXPECT_EQ(road.Tickets(), Names{}) << "nothing is printed twice";

  const std::string uploads =
      "SELECT NRUPLOADS FROM CENTRAL_UPLOAD WHERE NRVENDARESTAUX = " + Quoted(central);
  const std::string before = road.Central(uploads);
  road.RunOnce();
  EXPECT_EQ(road.Central(uploads), before) << "a synchronised order leaves the upload";
  EXPECT_EQ(road.Central(central_state), "CONFIRMED");
}

TEST_P(Road, AnOrderIsStoredUnderLocalNumbersPrintedConfirmedAndSynchronised) {
  StoreRoad road(Hub());
  FollowOneOrder(road);
}

// The same over HTTPS with the installation's token, which shows nowhere.
TEST_P(Road, AnOrderTakesTheSameRoadOverHttpsWithTheInstallationsToken) {
  StoreRoad road(Hub(), StoreRoad::Link::kHttps);
  FollowOneOrder(road);
  const std::string token = road.AddInstallation("001", "001");
  road.UseToken(token);
  road.RunOnce();
  EXPECT_TRUE(Has(road.Log(), "Conectado no servidor."));
  for (const std::string& line : road.Log()) {
    EXPECT_EQ(line.find("zlvt_"), std::string::npos) << line;
  }
}

// A token the hub does not take, or a certificate the store does not trust: nothing is handed
// out, the log says why, and the good token then gets the order.
TEST(RoadOverHttps, ARefusedTokenOrAnUntrustedHubGetsNothing) {
  TempDir hubs("zlv-road-hub");
  StoreRoad road(NewHubLocation(HubBackend::kSqlite, hubs.path()), StoreRoad::Link::kHttps);
  const std::string good = road.AddInstallation("001", "001");
  const std::string revoked = road.AddInstallation("001", "001");
  road.RevokeInstallation(revoked);
  TempDir other_ca("zlv-other-ca");
  MakeTestCertificate(other_ca.path(), "other", "/CN=Another CA");
  const std::string central = road.AddOrders(1).at(0);
  struct Case {
    const char* what;
    std::string token;
    bool untrusted;
    int status;
    std::string logged;
  };
  const std::vector<Case> cases = {
      {"unknown token", "zlvt_" + std::string(43, 'A'), false, 69, "não autorizado"},
      {"revoked token", revoked, false, 69, "não autorizado"},
      {"another store's token", road.AddInstallation("002", "002"), false, 70,
       "não autorizado"},
      {"no token", "", false, 69, "Token"},
      {"untrusted certificate", good, true, 69, "SSL certificate problem"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    road.UseToken(c.token);
    road.TrustCaFile(c.untrusted ? other_ca.path() / "other.pem" : road.hub_certificate());
    road.RunOnce(c.status);
    const Names log = road.Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
      return line.find(c.logged) != std::string::npos;
    })) << LogText(road);
    EXPECT_EQ(road.Central("SELECT NRDOWNLOADS FROM CENTRAL_ORDER WHERE NRVENDAREST = " +
                           Quoted(central)),
              "0");
    EXPECT_EQ(LocalSale(road, central), "");
  }
  road.UseToken(good);
  road.TrustCaFile(road.hub_certificate());
  road.RunOnce();
  EXPECT_NE(LocalSale(road, central), "");
  for (const std::string& line : road.Log()) {
    for (const std::string& token : {good, revoked}) {
      EXPECT_EQ(line.find(token.substr(5)), std::string::npos) << line;
    }
  }
}

// The store database through ODBC, as a SQL Server store reaches it (here SQLite's driver).
TEST_P(Road, AnOrderTakesTheSameRoadThroughOdbc) {
  StoreRoad road(Hub());
  if (!road.UseOdbc()) GTEST_SKIP() << "SQLite ODBC driver not installed";
  const std::string central = road.AddOrders(1).at(0);
  road.RunOnce();
  const std::string local = LocalSale(road, central);
  ASSERT_NE(local, "") << LogText(road);
  EXPECT_EQ(road.Tickets(), ExpectedTickets(road, local));
  EXPECT_EQ(road.Central("SELECT SGSEXOCON FROM CENTRAL_UPLOAD WHERE NRVENDARESTAUX = " +
                         Quoted(central)),
            "S");
}

TEST_P(Road, ACancellationReachesTheStoreAndPrintsItsTickets) {
  StoreRoad road(Hub());
  const std::string central = road.AddOrders(1).at(0);
  road.RunOnce();
  const std::string local = LocalSale(road, central);
  ASSERT_NE(local, "");
  road.ClearTickets();

  ASSERT_EQ(road.CancelOrders(1), Names{central});
  road.RunOnce();
  EXPECT_EQ(road.Store("SELECT COUNT(*) FROM COMANDAVEN WHERE IDSTCOMANDA <> '4' AND "
                       "NRVENDAREST = " +
                       Quoted(local)),
            "0")
      << "every order tab of the sale is cancelled";
  EXPECT_EQ(road.Central("SELECT STATE FROM CENTRAL_CANCEL WHERE NRVENDAREST = " + Quoted(central)),
            "CONFIRMED");

  const Names tickets = road.Tickets();
  ASSERT_FALSE(tickets.empty());
  for (const std::string& name : tickets) {
    EXPECT_TRUE(name.ends_with("C_001.txt") || name.ends_with("C2_001.txt"))
        << "only cancellation tickets: " << name;
    EXPECT_NE(road.Ticket(name).find("CANCELAMENTO DE PEDIDO"), std::string::npos) << name;
  }
  // A cancelled sale is finished: the server answers "D" and it leaves the upload.
  EXPECT_EQ(road.Central("SELECT SGSEXOCON FROM CENTRAL_UPLOAD WHERE NRVENDARESTAUX = " +
                         Quoted(central)),
            "D");

  road.ClearTickets();
  road.RunOnce();
  EXPECT_EQ(road.Tickets(), Names{}) << "a cancellation is printed once";
}

// A channel's order through the hub's API: the store takes it, prints it, and the channel sees
// it there under the store's sale number; the channel's cancellation reaches the kitchen.
TEST_P(Road, AChannelsOrderIsFollowedToTheStoreAndItsCancellationToTheKitchen) {
  using json = nlohmann::json;
  StoreRoad road(Hub());
  HubClient& channel = road.Channel();
  const HubAnswer posted = channel.Post("/v1/orders", R"({
    "external_id": "web-77", "branch": "0001", "store": "001",
    "customer": {"name": "Beatriz Ramos", "phone": "11955554444",
                 "address": {"street": "Rua Augusta", "number": "500"}},
    "items": [{"product": "10001", "quantity": 2, "unit_price": 25.90,
               "observations": [{"group": "01", "code": "001"}]}],
    "delivery_fee": 5.90,
    "payments": [{"method": "cash", "amount": 57.70, "change_for": 100}]})");
  ASSERT_EQ(posted.status, 201) << posted.body;
  const std::string id = json::parse(posted.body).at("id");

  road.RunOnce();
  const std::string local = LocalSale(road, id);
  ASSERT_NE(local, "") << LogText(road);
  EXPECT_EQ(road.Tickets(), ExpectedTickets(road, local));
  const json seen = json::parse(channel.Get("/v1/orders?external_id=web-77").body);
  EXPECT_EQ(seen["state"], "open_at_store") << seen;
  EXPECT_EQ(seen["store_sale"], local);
  EXPECT_EQ(seen["handed_out"]["count"], 1);
  EXPECT_TRUE(seen["received_at"].is_string());

  road.ClearTickets();
  const HubAnswer cancelled =
      channel.Post("/v1/orders/" + id + "/cancel", R"({"reason": "cliente desistiu"})");
  ASSERT_EQ(cancelled.status, 200) << cancelled.body;
  road.RunOnce();
  const Names tickets = road.Tickets();
  ASSERT_FALSE(tickets.empty()) << LogText(road);
  for (const std::string& name : tickets) {
    EXPECT_TRUE(name.ends_with("C_001.txt") || name.ends_with("C2_001.txt")) << name;
  }
  const json after = json::parse(channel.Get("/v1/orders/" + id).body);
  EXPECT_EQ(after["state"], "cancelled") << after;
  EXPECT_EQ(after["cancellation"]["state"], "confirmed");
}

// Scheduled orders are released from ENC_ order tabs, which the store's own sales write (a
// downloaded order is always written as DLV_ and printed on arrival with its AGENDADO line).
// The test makes one from a downloaded scheduled order, as that program would leave it.
TEST_P(Road, AScheduledOrderIsPrintedByItsTicketsAtItsProductionTimeAndOnlyThen) {
  StoreRoad road(Hub());
  road.StoreSql("UPDATE LOJA SET NRTEMPOPRODUCAO = 30 WHERE CDLOJA = '001'");
  const std::string central = road.AddOrders(1, 1).at(0);
  road.RunOnce();
  const std::string local = LocalSale(road, central);
  ASSERT_NE(local, "");
  const std::string tab =
      road.Store("SELECT NRCOMANDA FROM COMANDAVEN WHERE NRVENDAREST = " + Quoted(local));
  const Names arrival = road.Tickets();
  ASSERT_TRUE(Has(arrival, "1" + tab + "E001_001.txt"));
  EXPECT_NE(road.Ticket("1" + tab + "P_001.txt").find("AGENDADO "), std::string::npos);

  road.ClearTickets();
  road.StoreSql(
      "UPDATE COMANDAVEN SET DSCOMANDA = 'ENC_' || NRCOMANDA, IDSINCAGENDA = 'N', "
      "DTHRAGENDADA = datetime('now', 'localtime', '+31 minutes') WHERE NRCOMANDA = " +
      Quoted(tab));
  road.RunOnce();
  EXPECT_EQ(road.Tickets(), Names{}) << "its production time is a minute away";
  EXPECT_EQ(road.Store("SELECT IDSINCAGENDA FROM COMANDAVEN WHERE NRCOMANDA = " + Quoted(tab)),
            "N");

  road.StoreSql(
      "UPDATE COMANDAVEN SET DTHRAGENDADA = datetime('now', 'localtime', '+29 minutes') "
      "WHERE NRCOMANDA = " +
      Quoted(tab));
  road.RunOnce();
  EXPECT_EQ(road.Tickets(), arrival) << "the same tickets as on arrival, now for the kitchen";
  EXPECT_EQ(road.Store("SELECT IDSINCAGENDA FROM COMANDAVEN WHERE NRCOMANDA = " + Quoted(tab)),
            "S");

  road.ClearTickets();
  road.RunOnce();
  EXPECT_EQ(road.Tickets(), Names{}) << "released once";
}

TEST_P(Road, AnOrderReadyForTheCourierIsPostedToTheRouterOnceAndAccepted) {
  StoreRoad road(Hub());
  TestHttpsServer router;
  router.SetReply(200, "{\"success\":true}", "application/json");
  road.StoreSql("UPDATE LOJA SET IDUTILINTROT = 'S', CDURLROT = " +
                Quoted(router.url("/roteirizador")) + " WHERE CDLOJA = '001'");
  const std::string central = road.AddOrders(1).at(0);
  road.RunOnce();
  const std::string local = LocalSale(road, central);
  ASSERT_NE(local, "");
  EXPECT_TRUE(router.requests().empty()) << "not ready yet";

  // The register marks the order ready for the courier.
  road.StoreSql("UPDATE COMANDAVEN SET IDSTCOMANDA = 'P' WHERE NRVENDAREST = " + Quoted(local));
  const Names tabs =
      road.StoreColumn("SELECT NRCOMANDA FROM COMANDAVEN WHERE NRVENDAREST = " + Quoted(local) +
                       " ORDER BY NRCOMANDA");
  const std::string accepted =
      "SELECT COUNT(*) FROM COMANDAVEN WHERE IDSITUPEDROT = 'S' AND "
      "DTSAIDACMD IS NOT NULL AND NRVENDAREST = " +
      Quoted(local);

  road.RunOnce(70);  // the router's self-signed certificate is not trusted: a failure line
  EXPECT_TRUE(router.requests().empty());
  EXPECT_EQ(road.Store(accepted), "0");
  const Names log = road.Log();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.starts_with("ERRO: ") && line.find("certificate") != std::string::npos;
  })) << LogText(road);

  const ScopedEnv trust("ZLVSINC_CA_FILE", router.ca_file().string());
  road.RunOnce();
  Names posted;
  for (const ReceivedRequest& request : router.requests()) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/roteirizador/sendOrder");
    const std::size_t end = request.body.find("</Id>");
    ASSERT_TRUE(request.body.starts_with("<root><Id>") && end != std::string::npos) << request.body;
    posted.push_back(request.body.substr(10, end - 10));
  }
  EXPECT_EQ(posted, tabs) << "each order tab once, though start-up and the cycle both dispatch"
                          << LogText(road);
  EXPECT_EQ(road.Store(accepted), std::to_string(tabs.size()));

  road.RunOnce();
  EXPECT_EQ(router.requests().size(), tabs.size()) << "an accepted order is never sent again";
}

}  // namespace
}  // namespace zlv::test
