// What the store database tells the status command about the stores this cash register
// synchronises (its own store, or every store of the branch in per-branch mode, as the cycle
// walks them): orders refused today, tickets owed, order tabs the central server has not had,
// orders waiting for the router, and scheduled orders waiting for their release. Reads only.
//
// Main thread of the status command, on its own connection.
#pragma once

#include <string>

#include "database/database.h"
#include "health/status_report.h"

namespace zlv {

// Throws the database's failure.
StoreFacts ReadStoreFacts(Database& db, const std::string& cdfilial, const std::string& cdcaixa);

}  // namespace zlv
