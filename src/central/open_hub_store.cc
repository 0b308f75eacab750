#include "central/open_hub_store.h"

#include "central/sqlite_hub_store.h"

namespace zlv {

std::unique_ptr<HubStore> OpenHubStore(const std::string& location) {
  return std::make_unique<SqliteHubStore>(location);
}

}  // namespace zlv
