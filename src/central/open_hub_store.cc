#include "central/open_hub_store.h"

#include "central/pg_hub_store.h"
#include "central/sqlite_hub_store.h"

namespace zlv {

std::unique_ptr<HubStore> OpenHubStore(const std::string& location) {
  for (const char* scheme : {"postgresql://", "postgres://"}) {
    if (location.rfind(scheme, 0) == 0) return std::make_unique<PgHubStore>(location);
  }
  return std::make_unique<SqliteHubStore>(location);
}

}  // namespace zlv
