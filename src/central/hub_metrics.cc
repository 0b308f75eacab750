#include "central/hub_metrics.h"

#include <algorithm>

#include <cstdio>
#include <sstream>

#include "central/presence.h"

namespace zlv {

namespace {

void Header(std::ostringstream& out, const char* name, const char* type, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string StoreLabels(const StorePresence& presence) {
  return "{branch=\"" + MetricLabel(presence.store.branch) + "\",store=\"" +
         MetricLabel(presence.store.store) + "\"}";
}

}  // namespace

std::string MetricLabel(const std::string& value) {
  std::string escaped;
  for (const char c : value) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string MetricsText(const std::vector<StorePresence>& presences, const HubCounters& counters) {
  std::ostringstream out;
  Header(out, "zlv_hub_store_up", "gauge",
         "1 when the store downloaded its orders successfully within the last 45 s, else 0.");
  for (const StorePresence& presence : presences) {
    out << "zlv_hub_store_up" << StoreLabels(presence) << ' ' << (IsOnline(presence) ? 1 : 0)
        << '\n';
  }
  Header(out, "zlv_hub_store_last_download_age_seconds", "gauge",
         "Seconds since the store's last successful download of its orders.");
  std::map<std::string, int> by_presence = {
      {"online", 0}, {"stale", 0}, {"offline", 0}, {"never", 0}};
  for (const StorePresence& presence : presences) {
    const auto age = LastSuccessAge(presence, kDownloadMethod);
    ++by_presence[PresenceState(age)];
    if (age) {
      out << "zlv_hub_store_last_download_age_seconds" << StoreLabels(presence) << ' '
          << Number(*age) << '\n';
    }
  }
  Header(out, "zlv_hub_store_orders_waiting", "gauge",
         "The store's orders waiting in the hub's queue.");
  std::map<std::string, int> orders = {
      {"queued", 0}, {"handed_out", 0}, {"received", 0}, {"stuck", 0}, {"needs_reconciliation", 0}};
  for (const StorePresence& presence : presences) {
    out << "zlv_hub_store_orders_waiting" << StoreLabels(presence) << ' '
        << presence.queued + presence.handed_out << '\n';
    orders["queued"] += presence.queued;
    orders["handed_out"] += presence.handed_out;
    orders["received"] += presence.received;
    orders["stuck"] += presence.stuck;
    orders["needs_reconciliation"] += presence.needs_reconciliation;
  }
  Header(out, "zlv_hub_stores", "gauge", "Stores per presence: online, stale, offline, never.");
  for (const auto& [state, count] : by_presence) {
    out << "zlv_hub_stores{presence=\"" << state << "\"} " << count << '\n';
  }
  Header(out, "zlv_hub_stores_without_token", "gauge",
         "Stores whose latest call came without their installation's token.");
  out << "zlv_hub_stores_without_token "
      << std::count_if(presences.begin(), presences.end(), CallsWithoutToken) << '\n';
  Header(out, "zlv_hub_orders", "gauge",
         "Orders in flight per state; stuck and needs_reconciliation call for people.");
  for (const auto& [state, count] : orders) {
    out << "zlv_hub_orders{state=\"" << state << "\"} " << count << '\n';
  }
  Header(out, "zlv_hub_calls_total", "counter",
         "Store calls this process answered since it started, per method and result.");
  for (const auto& [key, count] : counters.calls) {
    out << "zlv_hub_calls_total{method=\"" << MetricLabel(key.first) << "\",result=\"" << key.second
        << "\"} " << count << '\n';
  }
  Header(out, "zlv_hub_http_requests_total", "counter",
         "API requests this process answered since it started, per status class.");
  for (const auto& [code, count] : counters.http) {
    out << "zlv_hub_http_requests_total{code=\"" << code << "\"} " << count << '\n';
  }
  Header(out, "zlv_hub_errors_total", "counter",
         "Failures of the hub itself since this process started: its database or its code.");
  out << "zlv_hub_errors_total " << counters.errors << '\n';
  return out.str();
}

}  // namespace zlv
