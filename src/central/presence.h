// Which stores are dark: a store's presence is what its downloads say of it. A store that
// works downloads its orders every 30 s, so one successful download within the last 45 s is a
// store taking orders; up to 90 s it missed one cycle (stale); past that it is offline, and one
// that never downloaded successfully is "never".
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "central/hub_store.h"

namespace zlv {

constexpr double kOnlineWithinSeconds = 45;
constexpr double kStaleWithinSeconds = 90;

// The method whose success says the store takes its orders, and the one that uploads its sales.
extern const char* const kDownloadMethod;
extern const char* const kUploadMethod;

// "online", "stale", "offline" or "never", from the age of the last successful download.
std::string PresenceState(const std::optional<double>& download_age_s);

// The age of the store's last successful call of the method, if it ever succeeded.
std::optional<double> LastSuccessAge(const StorePresence& presence, const std::string& method);

inline bool IsOnline(const StorePresence& presence) {
  return PresenceState(LastSuccessAge(presence, kDownloadMethod)) == "online";
}

// Whether the store's latest call came without its installation's token: a store still to be
// given one before the hub requires tokens.
bool CallsWithoutToken(const StorePresence& presence);

// The store as GET /v1/stores shows it.
nlohmann::json PresenceJson(const StorePresence& presence);

}  // namespace zlv
