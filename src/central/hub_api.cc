#include "central/hub_api.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "central/api_key.h"
#include "central/channel_order.h"
#include "central/hub_metrics.h"
#include "central/order_road.h"
#include "central/presence.h"
#include "central/url_text.h"
#include "database/database.h"
#include "sync/protocol_json.h"

namespace zlv {

namespace {

using json = nlohmann::json;

// A cancellation's reason is for people reading the order's road, not a document.
constexpr std::size_t kMaxReason = 500;

// A problem to answer, thrown from where it is found.
struct Refusal {
  HttpProblem problem;
};

[[noreturn]] void Refuse(int status, const std::string& type, const std::string& title,
                         const std::string& detail, std::optional<std::string> pointer = {}) {
  throw Refusal{{status, type, title, detail, std::move(pointer), false}};
}

HttpResponse Json(int status, const json& body) {
  return {status, "application/json", DumpJsonText(body)};
}

json OrderAnswer(const ChannelOrderRecord& order) {
  return {{"id", order.sale},       {"channel", order.channel}, {"external_id", order.external_id},
          {"branch", order.branch}, {"store", order.store},     {"state", "queued"}};
}

std::string TextMember(const json& body, const char* name) {
  const auto found = body.find(name);
  if (found == body.end() || !found->is_string() || found->get<std::string>().empty()) {
    throw ChannelOrderError(std::string("/") + name, "is required");
  }
  return found->get<std::string>();
}

// The request's body: a JSON object, else a 400 (not JSON) or a 422 (another value).
json ObjectBody(const HttpRequest& request) {
  json body;
  try {
    body = ParseJsonText(request.body);
  } catch (const std::exception& e) {
    Refuse(400, "malformed-json", "The body is not JSON", e.what());
  }
  if (!body.is_object()) throw ChannelOrderError("", "must be an object");
  return body;
}

// The same id again: the first answer when the order is the same, else a conflict.
HttpResponse Again(const ChannelOrderRecord& existing, const std::string& body_hash) {
  if (existing.body_hash != body_hash) {
    Refuse(409, "external-id-conflict", "External id already used",
           "the channel already sent order " + existing.external_id +
               " with another content (hub order " + existing.sale + ")",
           "/external_id");
  }
  return Json(200, OrderAnswer(existing));
}

}  // namespace

HubApi::HubApi(HubStore& store, StoreSchema schema, StoreTimes times, const CallLog* calls)
    : store_(store), schema_(std::move(schema)), times_(std::move(times)), calls_(calls) {}

HttpResponse HubApi::Handle(const HttpRequest& request) {
  HttpResponse response = Answer(request);
  ++answered_[std::to_string(response.status / 100) + "xx"];
  if (response.status >= 500) ++errors_;
  return response;
}

HttpResponse HubApi::Answer(const HttpRequest& request) {
  try {
    const std::size_t query_at = request.target.find('?');
    const std::string path = request.target.substr(0, query_at);
    const std::string query =
        query_at == std::string::npos ? "" : request.target.substr(query_at + 1);
    // "/v1/orders", "/v1/orders/{id}" or "/v1/orders/{id}/cancel".
    const std::string base = "/v1/orders";
    std::string id, action;
    if (path.rfind(base + "/", 0) == 0) {
      id = path.substr(base.size() + 1);
      if (const std::size_t slash = id.find('/'); slash != std::string::npos) {
        action = id.substr(slash + 1);
        id.resize(slash);
      }
    }
    const bool orders = path == base;
    const bool order = !id.empty() && action.empty();
    const bool cancel = !id.empty() && action == "cancel";
    const bool stores = path == "/v1/stores", metrics = path == "/metrics";
    if (!orders && !order && !cancel && !stores && !metrics) {
      Refuse(404, "not-found", "Not found", "no resource " + path);
    }
    const std::string allowed = orders ? "GET, POST" : cancel ? "POST" : "GET";
    const bool get = request.method == "GET", post = request.method == "POST";
    if (!(orders ? get || post : cancel ? post : get)) {
      Refuse(405, "method-not-allowed", "Method not allowed",
             request.method + " " + path + " (allowed: " + allowed + ")");
    }
    if (metrics) return Metrics();  // for a scraper, which holds no key
    const auto header = request.headers.find("authorization");
    const std::string prefix = "Bearer ";
    if (header == request.headers.end() || header->second.rfind(prefix, 0) != 0) {
      Refuse(401, "unauthorized", "API key required",
             "send the channel's key as Authorization: Bearer <key>");
    }
    const auto key = store_.FindApiKey(ApiKeyHash(header->second.substr(prefix.size())));
    if (!key) Refuse(401, "unauthorized", "Unknown API key", "the hub knows no such key");
    if (stores) return GetStores(*key);
    if (cancel) return CancelOrder(id, request, *key);
    if (order) return GetOrder(id, *key);
    if (get) return FindOrder(query, *key);
    return PostOrder(request, *key);
  } catch (const Refusal& refusal) {
    return ProblemResponse(refusal.problem, request.request_id);
  } catch (const ChannelOrderError& e) {
    return ProblemResponse({422, "invalid-order", "The order breaks a rule", e.what(), e.pointer()},
                           request.request_id);
  } catch (const DatabaseError& e) {
    return ProblemResponse(
        {503, "database-unavailable", "The hub cannot reach its database", e.what(), {}, true},
        request.request_id);
  }
}

HttpResponse HubApi::GetStores(const ApiKeyRecord& key) {
  HubTransaction transaction(store_);  // one snapshot of the registry, calls and orders
  json stores = json::array();
  for (const StorePresence& presence : store_.StorePresences(std::nullopt)) {
    if (key.support || std::find(key.branches.begin(), key.branches.end(), presence.store.branch) !=
                           key.branches.end()) {
      stores.push_back(PresenceJson(presence));
    }
  }
  return Json(200, {{"stores", stores}});
}

HttpResponse HubApi::Metrics() {
  HubCounters counters{{}, answered_, errors_};
  if (calls_ != nullptr) {
    counters.calls = calls_->totals();
    counters.errors += calls_->errors();
  }
  HubTransaction transaction(store_);
  return {200, "text/plain; version=0.0.4",
          MetricsText(store_.StorePresences(std::nullopt), counters)};
}

OrderRoadRecord HubApi::ReachableRoad(const std::string& id, const ApiKeyRecord& key) {
  auto road = store_.FindOrderRoad(id);
  if (!road) Refuse(404, "unknown-order", "Unknown order", "the hub has no order " + id);
  if (!key.support &&
      std::find(key.branches.begin(), key.branches.end(), road->branch) == key.branches.end()) {
    Refuse(403, "branch-not-allowed", "Branch not allowed",
           "the key of channel " + key.channel + " does not reach branch " + road->branch);
  }
  return *road;
}

HttpResponse HubApi::Road(int status, const OrderRoadRecord& road) {
  std::vector<ProductProblemOfOrder> problems;
  for (const std::string& product : OrderProducts(road)) {
    for (const ProductProblem& problem : store_.ProductProblems(road.branch, product)) {
      problems.push_back({product, problem});
    }
  }
  return Json(status, OrderRoadJson(road, problems));
}

HttpResponse HubApi::GetOrder(const std::string& id, const ApiKeyRecord& key) {
  HubTransaction transaction(store_);  // one snapshot of the order's rows
  return Road(200, ReachableRoad(id, key));
}

HttpResponse HubApi::FindOrder(const std::string& query, const ApiKeyRecord& key) {
  const auto parameters = QueryParameters(query);
  const auto external_id = parameters.find("external_id");
  if (external_id == parameters.end() || external_id->second.empty()) {
    Refuse(400, "missing-parameter", "Parameter missing",
           "look an order up by ?channel=…&external_id=…, or ask for /v1/orders/{id}");
  }
  const auto channel = parameters.find("channel");
  const std::string name = channel == parameters.end() ? key.channel : channel->second;
  if (name.empty()) {
    Refuse(400, "missing-parameter", "Parameter missing", "a support key names the channel");
  }
  HubTransaction transaction(store_);
  const auto found = store_.FindChannelOrder(name, external_id->second);
  if (!found) {
    Refuse(404, "unknown-order", "Unknown order",
           "channel " + name + " sent no order " + external_id->second);
  }
  return Road(200, ReachableRoad(found->sale, key));
}

HttpResponse HubApi::CancelOrder(const std::string& id, const HttpRequest& request,
                                 const ApiKeyRecord& key) {
  if (key.support) {
    Refuse(403, "read-only-key", "Read-only key", "a support key cannot cancel orders");
  }
  const json body = ObjectBody(request);
  const std::string reason = TextMember(body, "reason");
  if (reason.size() > kMaxReason) {
    throw ChannelOrderError("/reason", "is longer than " + std::to_string(kMaxReason) + " bytes");
  }
  HubTransaction transaction(store_);
  const OrderRoadRecord road = ReachableRoad(id, key);
  if (road.cancel_state) return Road(200, road);  // asked before: the same answer
  const std::string state = RoadState(road);
  if (state == "closed" || state == "cancelled") {
    HttpResponse refused = ProblemResponse(
        {409,
         "order-closed",
         "The order is closed",
         "the store already " + std::string(state == "closed" ? "closed" : "cancelled") +
             " order " + id + " (its sale " + road.local_sale.value_or("?") + ")",
         {},
         false},
        request.request_id);
    json problem = ParseJsonText(refused.body);
    problem["state"] = state;
    refused.body = DumpJsonText(problem);
    return refused;
  }
  const auto registered = store_.FindStore(road.branch, road.store);
  const DateTime now =
      times_.now(registered.value_or(StoreRecord{road.branch, road.store, "", "UTC"}));
  // Still in the queue: no store gets it any more. One a download took may nevertheless be in
  // its store (its confirmation lost): the cancellation then waits for the store's upload.
  const bool withdrawn = road.state == "PENDING" && store_.WithdrawOrder(road.branch, id);
  const bool store_may_have_it = !withdrawn || road.downloads > 0 || road.local_sale;
  try {
    store_.AddCancellation(
        {road.branch, road.store, id, store_may_have_it ? "PENDING" : "DONE", reason}, now);
    transaction.Commit();
  } catch (const DatabaseError&) {
    // Another process took the same cancellation in meanwhile: its answer is this one's.
    store_.Rollback();
    HubTransaction again(store_);
    const OrderRoadRecord now_road = ReachableRoad(id, key);
    if (!now_road.cancel_state) throw;
    return Road(200, now_road);
  }
  HubTransaction read(store_);
  return Road(200, ReachableRoad(id, key));
}

HttpResponse HubApi::PostOrder(const HttpRequest& request, const ApiKeyRecord& key) {
  const json body = ObjectBody(request);
  const std::string branch = TextMember(body, "branch"), shop = TextMember(body, "store");
  const std::string external_id = TextMember(body, "external_id");
  const auto require_online = body.find("require_online");
  if (require_online != body.end() && !require_online->is_boolean()) {
    throw ChannelOrderError("/require_online", "must be true or false");
  }
  if (key.support) {
    Refuse(403, "read-only-key", "Read-only key", "a support key cannot put orders in");
  }
  if (std::find(key.branches.begin(), key.branches.end(), branch) == key.branches.end()) {
    Refuse(403, "branch-not-allowed", "Branch not allowed",
           "the key of channel " + key.channel + " does not reach branch " + branch, "/branch");
  }
  // The same order, whatever the spacing or the order of its members.
  const std::string body_hash = ApiKeyHash(DumpJsonText(body));

  HubTransaction transaction(store_);
  if (const auto existing = store_.FindChannelOrder(key.channel, external_id)) {
    return Again(*existing, body_hash);
  }
  const auto registered = store_.FindStore(branch, shop);
  if (!registered) {
    Refuse(404, "unknown-store", "Unknown store",
           "store " + branch + "/" + shop + " is not registered at the hub", "/store");
  }
  if (require_online != body.end() && require_online->get<bool>()) {
    const std::vector<StorePresence> presence = store_.StorePresences(StoreKey{branch, shop});
    if (presence.empty() || !IsOnline(presence[0])) {
      // Registered, so the store is there; its presence is "never" until it calls.
      const json seen = presence.empty() ? json{{"presence", "never"}} : PresenceJson(presence[0]);
      HttpResponse refused =
          ProblemResponse({409, "store-not-online", "The store is not online",
                           "store " + branch + "/" + shop + " is " +
                               seen["presence"].get<std::string>() + ": the order was not taken",
                           "/require_online", false},
                          request.request_id);
      json problem = ParseJsonText(refused.body);
      problem["store"] = seen;
      refused.body = DumpJsonText(problem);
      return refused;
    }
  }
  BranchSettings settings;
  settings.branch = branch;
  if (const auto saved = store_.FindBranchSettings(branch)) settings = *saved;
  // The customer's earlier orders made a consumer of the branch's client: found by phone.
  const json* phone = body.contains("customer") && body["customer"].is_object() &&
                              body["customer"].contains("phone")
                          ? &body["customer"]["phone"]
                          : nullptr;
  std::vector<ConsumerRecord> consumers =
      phone != nullptr && phone->is_string()
          ? store_.ConsumersByPhone(settings.client, phone->get<std::string>())
          : std::vector<ConsumerRecord>{};
  ChannelOrderContext context{
      schema_,
      settings,
      shop,
      times_.now(*registered),
      [this](const std::string& counter) { return store_.NextNumber(counter); },
      [&](const std::string& text) { return times_.local(*registered, text); },
      consumers};
  const GeneratedOrder order = BuildChannelOrder(body, context);
  store_.AddOrder(order, context.now);
  const DataPacket& consumer_rows = order.sets[kCons];
  const int code = consumer_rows.FieldIndex("CDCONSUMIDOR");
  for (const ConsumerRecord& consumer : consumers) {
    if (code >= 0 && !consumer_rows.rows.empty() &&
        consumer.consumer == consumer_rows.rows[0][static_cast<std::size_t>(code)].AsText()) {
      store_.SaveConsumers({consumer});
    }
  }
  const ChannelOrderRecord record{key.channel, external_id, body_hash, branch, shop, order.sale};
  try {
    store_.AddChannelOrder(record);
    transaction.Commit();
  } catch (const DatabaseError&) {
    // Another process put the same id in meanwhile: this one's order goes, the other answers.
    store_.Rollback();
    const auto existing = store_.FindChannelOrder(key.channel, external_id);
    if (!existing) throw;
    return Again(*existing, body_hash);
  }
  return Json(201, OrderAnswer(record));
}

}  // namespace zlv
