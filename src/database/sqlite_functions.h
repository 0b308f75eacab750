// SQL functions the SQLite texts of the catalogue use where SQL Server has a built-in that
// SQLite lacks (REPLICATE, ...). The SQLite driver registers them on every connection it opens.
#pragma once

struct sqlite3;

namespace zlv {

// Throws DatabaseError when a function cannot be registered.
void RegisterSqliteFunctions(sqlite3* db);

}  // namespace zlv
