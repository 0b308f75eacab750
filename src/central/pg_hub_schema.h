// The hub's tables in PostgreSQL, as numbered migration steps. A database records in
// HUB_SCHEMA_VERSION every step applied to it; opening the hub applies the missing ones, each
// in a transaction of its own that also records it, under a transaction-scoped advisory lock:
// hub processes starting at once on a new database migrate it once, the others wait and find
// the work done. A database migrated by a newer program (a step this one does not know) is
// refused rather than written with the wrong assumptions.
#pragma once

#include "central/pg_connection.h"

namespace zlv {

// The number of the last step this program knows.
int HubSchemaVersion();

// Brings the database up to HubSchemaVersion(). Throws DatabaseError.
void MigrateHubSchema(PgConnection& connection);

}  // namespace zlv
