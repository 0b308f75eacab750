// GET /metrics: the hub in the Prometheus text format (0.0.4), for alerting on dark stores and
// orders that stopped moving. Built from the same few queries as GET /v1/stores, whatever the
// number of stores, and from what this process counted since it started.
//
//   zlv_hub_store_up{branch,store}                        1 when online, else 0
//   zlv_hub_store_last_download_age_seconds{branch,store} (only stores that ever downloaded)
//   zlv_hub_store_orders_waiting{branch,store}            pending orders
//   zlv_hub_stores{presence}                              stores per presence
//   zlv_hub_orders{state}                                 queued, handed_out, received, stuck,
//                                                         needs_reconciliation
//   zlv_hub_calls_total{method,result}                    store calls answered, per result
//   zlv_hub_http_requests_total{code}                     API answers per status class ("2xx")
//   zlv_hub_errors_total                                  the hub's own failures
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "central/hub_store.h"

namespace zlv {

struct HubCounters {
  std::map<std::pair<std::string, std::string>, uint64_t> calls;  // method, result
  std::map<std::string, uint64_t> http;                           // status class, as "2xx"
  uint64_t errors = 0;
};

// A label value as the text format writes it: backslash, double quote and newline escaped.
std::string MetricLabel(const std::string& value);

std::string MetricsText(const std::vector<StorePresence>& presences, const HubCounters& counters);

}  // namespace zlv
