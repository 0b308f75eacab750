// The channels' API on two hub processes sharing one database, over real HTTP: an order goes
// in once however it is sent, and each kind of refusal comes with its status and type.
#include "central/hub_api.h"

#include <gtest/gtest.h>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "central/api_key.h"
#include "central/central_methods.h"
#include "central/central_server.h"
#include "central/hub_test_backends.h"
#include "central/open_hub_store.h"
#include "support/demo_store.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using json = nlohmann::json;

struct Answer {
  unsigned status;
  json body;  // discarded when the answer is not JSON
  std::string text;
};

Answer Request(int port, const std::string& key, http::verb verb, const std::string& target,
               const std::string& body = "", const std::string& method_text = "") {
  boost::asio::io_context io;
  beast::tcp_stream stream(io);
  stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                                static_cast<unsigned short>(port)));
  http::request<http::string_body> request{verb, target, 11};
  if (!method_text.empty()) request.method_string(method_text);
  request.set(http::field::host, "hub");
  if (!key.empty()) request.set(http::field::authorization, "Bearer " + key);
  request.body() = body;
  request.prepare_payload();
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return {response.result_int(), json::parse(response.body(), nullptr, false), response.body()};
}

Answer Post(int port, const std::string& key, const std::string& body) {
  return Request(port, key, http::verb::post, "/v1/orders", body);
}

// One hub process: its own connection to the shared database, serving on its own thread.
class Hub {
 public:
  Hub(const std::string& location, const Clock& clock)
      : store_(OpenHubStore(location)),
        server_(*store_, clock, "127.0.0.1", 0),
        api_(*store_, StoreSchema::FromDatabase(*test::OpenDemoStore(":memory:")),
             {[&clock](const StoreRecord&) { return clock.Now(); },
              [](const StoreRecord&, const std::string&) { return std::optional<DateTime>(); }},
             &server_.calls()),
        http_port_(server_.ServeHttp("127.0.0.1", 0,
                                     [this](const HttpRequest& r) { return api_.Handle(r); })),
        thread_([this] { server_.Run(); }) {}
  ~Hub() {
    server_.Stop();
    thread_.join();
  }
  int http_port() const { return http_port_; }

 private:
  std::unique_ptr<HubStore> store_;
  CentralServer server_;
  HubApi api_;
  int http_port_;
  std::thread thread_;
};

const char* kOrder = R"({
  "external_id": "web-1", "branch": "0001", "store": "001", "origin": "DLV_SIT",
  "customer": {"name": "Beatriz Ramos", "phone": "11955554444",
               "address": {"street": "Rua Augusta", "number": "500"}},
  "items": [{"product": "10001", "quantity": 2, "unit_price": 25.90}],
  "payments": [{"method": "card", "amount": 51.80}]})";

class HubApiTest : public ::testing::TestWithParam<test::HubBackend> {
 protected:
  HubApiTest() {
    admin_->SaveStore({"0001", "001", "Centro", "America/Sao_Paulo"});
    admin_->SaveBranchSettings(
        {"0001", "0001", "9999", "0001", "", {{"card", "002"}}, "1058", "SP", "3550308"});
    admin_->AddApiKey({ApiKeyHash(key_), "web", false, {"0001"}});
    admin_->AddApiKey({ApiKeyHash(other_key_), "app", false, {"0002"}});
  }

  test::TempDir home_{"zlv-hub-api"};
  FakeClock clock_{DateTime::FromCivil(2026, 12, 9, 19, 0, 0)};
  const std::string location_ = test::NewHubLocation(GetParam(), home_.path());
  const std::unique_ptr<HubStore> admin_ = OpenHubStore(location_);
  const std::string key_ = NewApiKey(), other_key_ = NewApiKey();
};

INSTANTIATE_TEST_SUITE_P(Backends, HubApiTest,
                         ::testing::Values(test::HubBackend::kSqlite, test::HubBackend::kPostgres),
                         ::testing::PrintToStringParamName());

TEST_P(HubApiTest, TheSameOrderSentToTwoProcessesAtOnceIsOneOrder) {
  Hub first(location_, clock_), second(location_, clock_);
  Answer answers[2];
  std::thread other([&] { answers[1] = Post(second.http_port(), key_, kOrder); });
  answers[0] = Post(first.http_port(), key_, kOrder);
  other.join();
  std::vector<unsigned> statuses = {answers[0].status, answers[1].status};
  std::sort(statuses.begin(), statuses.end());
  EXPECT_EQ(statuses, (std::vector<unsigned>{200, 201})) << answers[0].body << answers[1].body;
  EXPECT_EQ(answers[0].body["id"], answers[1].body["id"]);
  // The same order again, its members in another order: the same answer.
  json reordered = json::parse(kOrder);
  EXPECT_EQ(Post(first.http_port(), key_, reordered.dump(2)).body["id"], answers[0].body["id"]);

  const Variant download =
      CallCentralMethod(*admin_, "BaixaPedidos", {Variant("0001"), Variant("001")}, clock_.Now());
  ASSERT_TRUE(download.IsArray());
  EXPECT_EQ(download.AsArray().at(kVendaRest).AsPacket().rows.size(), 1u);
}

TEST_P(HubApiTest, EachRefusalHasItsStatusTypeAndField) {
  Hub hub(location_, clock_);
  ASSERT_EQ(Post(hub.http_port(), key_, kOrder).status, 201u);
  const auto with = [](const char* patch) {
    json order = json::parse(kOrder);
    order.merge_patch(json::parse(patch));
    return order.dump();
  };
  struct Case {
    std::string key, body;
    unsigned status;
    std::string type, pointer;
  };
  const std::vector<Case> cases = {
      {"", kOrder, 401, "/problems/unauthorized", ""},
      {"zlvk_unknown", kOrder, 401, "/problems/unauthorized", ""},
      {other_key_, kOrder, 403, "/problems/branch-not-allowed", "/branch"},
      {key_, "{not json", 400, "/problems/malformed-json", ""},
      {key_, with(R"({"store": "009", "external_id": "web-2"})"), 404, "/problems/unknown-store",
       "/store"},
      {key_, with(R"({"items": null})"), 409, "/problems/external-id-conflict", "/external_id"},
      {key_, with(R"({"external_id": "web-3", "items": []})"), 422, "/problems/invalid-order",
       "/items"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const Answer answer = Post(hub.http_port(), c.key, c.body);
    EXPECT_EQ(answer.status, c.status) << answer.body;
    EXPECT_EQ(answer.body["type"], c.type);
    EXPECT_EQ(answer.body.contains("errors") ? answer.body["errors"][0]["pointer"] : json(""),
              c.pointer);
  }
}

DataPacket Packet(std::vector<std::string> names, std::vector<std::vector<Variant>> rows) {
  DataPacket packet;
  for (auto& name : names) packet.fields.push_back({std::move(name), FieldType::String, 10});
  packet.rows = std::move(rows);
  return packet;
}

TEST_P(HubApiTest, AnOrdersRoadFollowsTheStoreAndItsCancellationGoesWhereTheOrderIs) {
  Hub hub(location_, clock_);
  const int port = hub.http_port();
  const auto post = [&](const char* external_id) {
    json order = json::parse(kOrder);
    order["external_id"] = external_id;
    return Post(port, key_, order.dump()).body.at("id").get<std::string>();
  };
  const auto road = [&](const std::string& id) {
    return Request(port, key_, http::verb::get, "/v1/orders/" + id).body;
  };
  const auto cancel = [&](const std::string& id) {
    return Request(port, key_, http::verb::post, "/v1/orders/" + id + "/cancel",
                   R"({"reason": "cliente desistiu"})");
  };
  const auto store = [&](const char* method, std::vector<Variant> params) {
    return CallCentralMethod(*admin_, method, params, clock_.Now());
  };
  const std::string kept = post("web-1"), dropped = post("web-2"), closed = post("web-3");
  EXPECT_EQ(road(kept)["state"], "queued");
  EXPECT_EQ(road(kept)["external_id"], "web-1");
  EXPECT_EQ(admin_->Consumers().size(), 1u) << "the customer is found again by phone";

  // Cancelled before a store took it: out of the queue at once.
  EXPECT_EQ(cancel(dropped).body["state"], "cancelled");
  const Variant download = store("BaixaPedidos", {Variant("0001"), Variant("001")});
  const DataPacket& sales = download.AsArray().at(kVendaRest).AsPacket();
  ASSERT_EQ(sales.rows.size(), 2u);
  json seen = road(kept);
  EXPECT_EQ(seen["state"], "handed_out");
  EXPECT_EQ(seen["handed_out"]["count"], 1);
  EXPECT_TRUE(seen["handed_out"]["last_at"].is_string());

  store("UpdateSincronismo", {Variant(sales), Variant(DataPacket{})});
  EXPECT_EQ(road(kept)["state"], "received");
  // The store's upload: the kept order open as its sale 12, the other closed at the till.
  const std::vector<Variant> upload = {
      Variant(Packet({"NRVENDAREST", "NRVENDARESTAUX"},
                     {{Variant("12"), Variant(kept)}, {Variant("13"), Variant(closed)}})),
      Variant(Packet({"NRVENDAREST", "IDSTCOMANDA"},
                     {{Variant("12"), Variant("3")}, {Variant("13"), Variant("X")}})),
      Variant(DataPacket{}),
      Variant(DataPacket{}),
      Variant(DataPacket{}),
      Variant("0001"),
      Variant("001")};
  store("AtualizaPedidos", {Variant(upload)});
  store("AtualizaHistPedCons",
        {Variant(std::vector<Variant>{
            Variant(Packet(
                {"CDFILIAL", "CDLOJA", "NRVENDAREST", "NRCOMANDA", "NRSEQHISTPED", "IDSTATUS"},
                {{Variant("0001"), Variant("001"), Variant("12"), Variant("7"), Variant("1"),
                  Variant("EM PREPARO")}})),
            Variant(DataPacket{})})});
  seen = road(kept);
  EXPECT_EQ(seen["state"], "open_at_store");
  EXPECT_EQ(seen["store_sale"], "12");
  ASSERT_EQ(seen["status_history"].size(), 1u);
  EXPECT_EQ(seen["status_history"][0]["IDSTATUS"], "EM PREPARO");

  // One the store has is cancelled at its next download; asking again answers the same.
  EXPECT_EQ(cancel(kept).body["cancellation"]["state"], "pending");
  EXPECT_EQ(cancel(kept).status, 200u);
  const Variant next = store("BaixaPedidos", {Variant("0001"), Variant("001")});
  ASSERT_TRUE(next.IsArray());
  EXPECT_EQ(next.AsArray().at(kPedidosCanc).AsPacket().rows.size(), 1u);

  // Closed at the store: too late, and the answer says what became of it.
  const Answer late = cancel(closed);
  EXPECT_EQ(late.status, 409u) << late.body;
  EXPECT_EQ(late.body["type"], "/problems/order-closed");
  EXPECT_EQ(late.body["state"], "closed");
  // Looked up by the channel's own id; another branch's key does not reach it.
  EXPECT_EQ(Request(port, key_, http::verb::get, "/v1/orders?external_id=web-3").body["state"],
            "closed");
  EXPECT_EQ(Request(port, other_key_, http::verb::get, "/v1/orders/" + closed).status, 403u);
}

// Which stores are dark, as a channel, a support person and a scraper see it; an order that
// must find its store online is refused for one that is not.
TEST_P(HubApiTest, StoresShowWhichAreDarkAndOrdersCanRequireAnOnlineStore) {
  admin_->SaveStore({"0001", "002", "Norte", "America/Sao_Paulo"});
  admin_->SaveStore({"0002", "001", "Sul", "America/Sao_Paulo"});
  // Ages applied on the database's clock: 001 downloaded 10 s ago, 002 200 s ago; a store
  // nobody registered only ever failed, under a code that needs escaping as a label.
  admin_->RecordCalls({{"0001", "001", "BaixaPedidos", 10, 10, {}, ""},
                       {"0001", "002", "BaixaPedidos", 200, 200, {}, ""},
                       {"0001", "9\"x", "BaixaPedidos", 5, {}, 5, "no such store"}});
  Hub hub(location_, clock_);
  const int port = hub.http_port();
  json order = json::parse(kOrder);
  order["require_online"] = true;
  EXPECT_EQ(Post(port, key_, order.dump()).status, 201u);
  order["store"] = "002";
  order["external_id"] = "web-2";
  const Answer refused = Post(port, key_, order.dump());
  ASSERT_EQ(refused.status, 409u) << refused.text;
  EXPECT_EQ(refused.body["type"], "/problems/store-not-online");
  EXPECT_EQ(refused.body["store"]["presence"], "offline");
  // Handed out three times and never received: stuck.
  for (int download = 0; download < 3; ++download) {
    CallCentralMethod(*admin_, "BaixaPedidos", {Variant("0001"), Variant("001")}, clock_.Now());
  }

  const json stores = Request(port, key_, http::verb::get, "/v1/stores").body["stores"];
  ASSERT_EQ(stores.size(), 3u) << stores;  // not the other branch's store
  EXPECT_EQ(stores[0]["presence"], "online");
  EXPECT_NEAR(stores[0]["last_download_age_s"].get<double>(), 10, 5);
  EXPECT_EQ(stores[0]["orders_waiting"], 1);
  EXPECT_EQ(stores[0]["stuck"], 1);
  EXPECT_TRUE(stores[0]["oldest_waiting_age_s"].is_number());
  EXPECT_EQ(stores[1]["presence"], "offline");
  EXPECT_EQ(stores[1]["orders_waiting"], 0);
  EXPECT_EQ(stores[2]["presence"], "never");
  EXPECT_EQ(stores[2]["name"], nullptr);
  EXPECT_EQ(stores[2]["calls"]["BaixaPedidos"]["last_failure"], "no such store");
  const json other = Request(port, other_key_, http::verb::get, "/v1/stores").body["stores"];
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(other[0]["presence"], "never");

  const Answer metrics = Request(port, "", http::verb::get, "/metrics");
  ASSERT_EQ(metrics.status, 200u);
  std::map<std::string, std::string> samples;
  std::set<std::string> typed;
  std::istringstream lines(metrics.text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# TYPE ", 0) == 0) typed.insert(line.substr(7, line.find(' ', 7) - 7));
    if (line.empty() || line[0] == '#') continue;
    samples[line.substr(0, line.rfind(' '))] = line.substr(line.rfind(' ') + 1);
    EXPECT_TRUE(typed.count(line.substr(0, line.find_first_of("{ ")))) << line;
  }
  EXPECT_EQ(samples["zlv_hub_store_up{branch=\"0001\",store=\"001\"}"], "1");
  EXPECT_EQ(samples["zlv_hub_store_up{branch=\"0001\",store=\"002\"}"], "0");
  EXPECT_EQ(samples["zlv_hub_store_up{branch=\"0001\",store=\"9\\\"x\"}"], "0");
  EXPECT_EQ(samples["zlv_hub_orders{state=\"stuck\"}"], "1");
  EXPECT_EQ(samples["zlv_hub_stores{presence=\"offline\"}"], "1");
  EXPECT_EQ(samples["zlv_hub_http_requests_total{code=\"4xx\"}"], "1");
}

// The OpenAPI file is what clients generate their code from: every operation it names is
// served, and the hub serves nothing it leaves out.
TEST_P(HubApiTest, TheOpenApiFileNamesEveryOperationServed) {
  Hub hub(location_, clock_);
  std::ifstream file(std::string(ZLV_SOURCE_DIR) + "/docs/hub-api.openapi.json");
  const json api = json::parse(file);
  int operations = 0;
  for (const auto& [path, methods] : api.at("paths").items()) {
    std::string target = path;
    if (const auto at = target.find("{id}"); at != std::string::npos) target.replace(at, 4, "1");
    for (const auto& [method, operation] : methods.items()) {
      const Answer answer = Request(hub.http_port(), "",
                                    http::string_to_verb(method == "get" ? "GET" : "POST"), target);
      // Only the metrics are served without a key.
      EXPECT_EQ(answer.status, path == "/metrics" ? 200u : 401u)
          << method << " " << path << answer.text;
      ++operations;
    }
  }
  EXPECT_EQ(operations, 6);
  EXPECT_EQ(Request(hub.http_port(), "", http::verb::delete_, "/v1/orders/1").status, 405u);
  // A method is matched whole: "GE" is no GET.
  EXPECT_EQ(Request(hub.http_port(), "", http::verb::unknown, "/v1/orders/1", "", "GE").status,
            405u);
  EXPECT_EQ(Request(hub.http_port(), "", http::verb::get, "/v1/order").status, 404u);
}

}  // namespace
}  // namespace zlv
