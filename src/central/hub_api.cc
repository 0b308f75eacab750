#include "central/hub_api.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "central/api_key.h"
#include "central/channel_order.h"
#include "database/database.h"
#include "sync/protocol_json.h"

namespace zlv {

namespace {

using json = nlohmann::json;

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

HubApi::HubApi(HubStore& store, StoreSchema schema, StoreTimes times)
    : store_(store), schema_(std::move(schema)), times_(std::move(times)) {}

HttpResponse HubApi::Handle(const HttpRequest& request) {
  try {
    const std::string path = request.target.substr(0, request.target.find('?'));
    if (path != "/v1/orders") Refuse(404, "not-found", "Not found", "no resource " + path);
    if (request.method != "POST") {
      Refuse(405, "method-not-allowed", "Method not allowed", request.method + " " + path);
    }
    const auto header = request.headers.find("authorization");
    const std::string prefix = "Bearer ";
    if (header == request.headers.end() || header->second.rfind(prefix, 0) != 0) {
      Refuse(401, "unauthorized", "API key required",
             "send the channel's key as Authorization: Bearer <key>");
    }
    const auto key = store_.FindApiKey(ApiKeyHash(header->second.substr(prefix.size())));
    if (!key) Refuse(401, "unauthorized", "Unknown API key", "the hub knows no such key");
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

HttpResponse HubApi::PostOrder(const HttpRequest& request, const ApiKeyRecord& key) {
  json body;
  try {
    body = ParseJsonText(request.body);
  } catch (const std::exception& e) {
    Refuse(400, "malformed-json", "The body is not JSON", e.what());
  }
  if (!body.is_object()) throw ChannelOrderError("", "must be an object");
  const std::string branch = TextMember(body, "branch"), shop = TextMember(body, "store");
  const std::string external_id = TextMember(body, "external_id");
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
  BranchSettings settings;
  settings.branch = branch;
  if (const auto saved = store_.FindBranchSettings(branch)) settings = *saved;
  std::vector<ConsumerRecord> consumers = store_.Consumers();
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
