// HubApi: the channels' HTTP API over the hub's store. Answers JSON, and every failure as a
// problem (HttpServer's ProblemResponse) whose type a client can rely on.
//
//  POST /v1/orders   a channel's order (channel_order.h), for a registered store of a branch
//                    the key reaches: 201 with the order's id (its central NRVENDAREST), or 200
//                    with the same answer when the channel sends the same order again (the
//                    same external id and body); 409 for the same external id with another
//                    body; 422 for an order that breaks a rule, naming the field.
//
//  GET  /v1/orders/{id}                      the order's road (order_road.h)
//  GET  /v1/orders?channel=C&external_id=E    the same, by the channel's own id (a channel's
//                                             key may leave out its own channel)
//  POST /v1/orders/{id}/cancel {"reason"}     cancels it: an order the store has not confirmed
//                    leaves the queue at once; one the store has is cancelled there at its next
//                    download; 409 when the store already closed or cancelled it. Asking again
//                    answers the same. Both answer the order's road.
//
//  GET  /v1/stores   every store the key reaches (a support key: all): its presence, its calls
//                    and its orders in flight (presence.h)
//  GET  /metrics     the hub in the Prometheus text format (hub_metrics.h), without a key
//
// An order with "require_online": true is refused (409, store-not-online) unless its store
// is online, the problem carrying the store's presence as "store".
//
// A key is sent as "Authorization: Bearer <key>": 401 without one or with one the hub does not
// know, 403 for a branch the key does not reach or a read-only key that would change something.
//
// One thread at a time (the server's event loop).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "central/call_log.h"
#include "central/http_server.h"
#include "central/hub_store.h"
#include "central/store_schema.h"
#include "data/datetime.h"

namespace zlv {

// The store's own time, and an RFC 3339 time given in a request as the store's local time
// (nullopt when the text is not one): what the store's time zone makes of the hub's clock.
struct StoreTimes {
  std::function<DateTime(const StoreRecord&)> now;
  std::function<std::optional<DateTime>(const StoreRecord&, const std::string&)> local;
};

class HubApi {
 public:
  // `calls`, when given, is what the store calls came to in this process, for the metrics.
  HubApi(HubStore& store, StoreSchema schema, StoreTimes times, const CallLog* calls = nullptr);

  // Answers the request, counting the answer for the metrics.
  HttpResponse Handle(const HttpRequest& request);

 private:
  HttpResponse Answer(const HttpRequest& request);
  HttpResponse GetStores(const ApiKeyRecord& key);
  HttpResponse Metrics();
  HttpResponse PostOrder(const HttpRequest& request, const ApiKeyRecord& key);
  HttpResponse GetOrder(const std::string& id, const ApiKeyRecord& key);
  HttpResponse FindOrder(const std::string& query, const ApiKeyRecord& key);
  HttpResponse CancelOrder(const std::string& id, const HttpRequest& request,
                           const ApiKeyRecord& key);
  // The order's road as the key may see it; 404 for an order it does not reach.
  OrderRoadRecord ReachableRoad(const std::string& id, const ApiKeyRecord& key);
  HttpResponse Road(int status, const OrderRoadRecord& road);

  HubStore& store_;
  StoreSchema schema_;
  StoreTimes times_;
  const CallLog* calls_;
  std::map<std::string, uint64_t> answered_;  // per status class, as "2xx"
  uint64_t errors_ = 0;                       // 5xx answers
};

}  // namespace zlv
