// Opens the hub's data where the operator's --db points: a libpq URI ("postgresql://..." or
// "postgres://...") is a PostgreSQL database, anything else an SQLite file (created when
// missing).
#pragma once

#include <memory>
#include <string>

#include "central/hub_store.h"

namespace zlv {

// Throws when the data cannot be opened, with a message that names what failed.
std::unique_ptr<HubStore> OpenHubStore(const std::string& location);

}  // namespace zlv
