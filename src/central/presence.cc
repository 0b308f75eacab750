#include "central/presence.h"

namespace zlv {

namespace {

using json = nlohmann::json;

json AgeOrNull(const std::optional<double>& age) { return age ? json(*age) : json(nullptr); }

}  // namespace

const char* const kDownloadMethod = "BaixaPedidos";
const char* const kUploadMethod = "AtualizaPedidos";

std::string PresenceState(const std::optional<double>& download_age_s) {
  if (!download_age_s) return "never";
  if (*download_age_s <= kOnlineWithinSeconds) return "online";
  if (*download_age_s <= kStaleWithinSeconds) return "stale";
  return "offline";
}

std::optional<double> LastSuccessAge(const StorePresence& presence, const std::string& method) {
  for (const StoreCallRecord& call : presence.calls) {
    if (call.method == method) return call.success_age_s;
  }
  return std::nullopt;
}

bool CallsWithoutToken(const StorePresence& presence) {
  const StoreCallRecord* latest = nullptr;
  for (const StoreCallRecord& call : presence.calls) {
    if (latest == nullptr || call.call_age_s < latest->call_age_s) latest = &call;
  }
  return latest != nullptr && latest->without_token;
}

json PresenceJson(const StorePresence& presence) {
  json calls = json::object();
  for (const StoreCallRecord& call : presence.calls) {
    calls[call.method] = {
        {"last_call_age_s", call.call_age_s},
        {"last_success_age_s", AgeOrNull(call.success_age_s)},
        {"last_failure_age_s", AgeOrNull(call.failure_age_s)},
        {"last_failure", call.failure_age_s ? json(call.failure) : json(nullptr)}};
  }
  const auto download_age = LastSuccessAge(presence, kDownloadMethod);
  const StoreRecord& store = presence.store;
  return {
      {"branch", store.branch},
      {"store", store.store},
      {"name", presence.registered ? json(store.name) : json(nullptr)},
      {"time_zone", presence.registered ? json(store.time_zone) : json(nullptr)},
      {"registered", presence.registered},
      {"presence", PresenceState(download_age)},
      {"last_download_age_s", AgeOrNull(download_age)},
      {"calls", calls},
      {"orders_waiting", presence.queued + presence.handed_out},
      {"oldest_waiting_age_s", AgeOrNull(presence.oldest_waiting_age_s)},
      {"stuck", presence.stuck},
      {"needs_reconciliation", presence.needs_reconciliation},
      {"last_upload_age_s", AgeOrNull(LastSuccessAge(presence, kUploadMethod))},
      {"without_token", CallsWithoutToken(presence)},
      // The store protocol's calls carry no version of the synchroniser.
      {"version", nullptr},
  };
}

}  // namespace zlv
