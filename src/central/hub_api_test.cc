// The channels' API on two hub processes sharing one database, over real HTTP: an order goes
// in once however it is sent, and each kind of refusal comes with its status and type.
#include "central/hub_api.h"

#include <gtest/gtest.h>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>
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
  json body;
};

Answer Post(int port, const std::string& key, const std::string& body) {
  boost::asio::io_context io;
  beast::tcp_stream stream(io);
  stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                                static_cast<unsigned short>(port)));
  http::request<http::string_body> request{http::verb::post, "/v1/orders", 11};
  request.set(http::field::host, "hub");
  if (!key.empty()) request.set(http::field::authorization, "Bearer " + key);
  request.body() = body;
  request.prepare_payload();
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return {response.result_int(), json::parse(response.body())};
}

// One hub process: its own connection to the shared database, serving on its own thread.
class Hub {
 public:
  Hub(const std::string& location, const Clock& clock)
      : store_(OpenHubStore(location)),
        api_(*store_, StoreSchema::FromDatabase(*test::OpenDemoStore(":memory:")),
             {[&clock](const StoreRecord&) { return clock.Now(); },
              [](const StoreRecord&, const std::string&) { return std::optional<DateTime>(); }}),
        server_(*store_, clock, "127.0.0.1", 0),
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
  HubApi api_;
  CentralServer server_;
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
    admin_->SaveBranchSettings({"0001", "0001", "9999", "0001", "", {{"card", "002"}}});
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

}  // namespace
}  // namespace zlv
