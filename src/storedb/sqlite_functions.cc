// Placeholder until the catalogue's SQL functions land.
#include "storedb/sqlite_functions.h"

namespace zlv {

void RegisterSqliteFunctions(sqlite3* /*db*/) {}

}  // namespace zlv
