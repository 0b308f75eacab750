#include "central/store_times.h"

#include <chrono>
#include <map>
#include <memory>

#include "central/time_zone.h"

namespace zlv {

StoreTimes SystemStoreTimes() {
  auto zones = std::make_shared<std::map<std::string, TimeZone>>();
  const auto zone = [zones](const StoreRecord& store) -> const TimeZone& {
    auto found = zones->find(store.time_zone);
    if (found == zones->end())
      found = zones->emplace(store.time_zone, TimeZone(store.time_zone)).first;
    return found->second;
  };
  return {[zone](const StoreRecord& store) {
            const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::system_clock::now().time_since_epoch());
            return zone(store).ToLocal(now.count());
          },
          [zone](const StoreRecord& store, const std::string& text) -> std::optional<DateTime> {
            const auto instant = ParseRfc3339(text);
            if (!instant) return std::nullopt;
            return zone(store).ToLocal(*instant);
          }};
}

}  // namespace zlv
