// The catalogue's SQLite texts do without functions of their own: they are written in plain
// SQLite (REPLICATE as replace(hex(zeroblob(n)), '00', text), regional date texts converted in
// the statement) so that they run alike on this driver's connections and through the SQLite ODBC
// driver, which cannot see functions registered here. The hook stays as the one place for a
// function that cannot be written that way.
#include "database/sqlite_functions.h"

namespace zlv {

void RegisterSqliteFunctions(sqlite3* /*db*/) {}

}  // namespace zlv
