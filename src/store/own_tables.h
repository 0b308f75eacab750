// The tables the synchroniser keeps for itself in the store database. The database scripts in
// db/ make them (db/schema.sqlite.sql for a new embedded database, db/upgrade.sqlite.sql and
// db/upgrade.sqlserver.sql for a store installed before them); the program never creates a
// table, since its login on a store's SQL Server need not be allowed to and a table made at run
// time escapes the installation's version record. A run asks whether a table is there and goes
// without what needs it.
//
// Main thread only, on the store connection.
#pragma once

#include <string>

#include "database/database.h"

namespace zlv {

// The number counters: without them no order can be written.
inline constexpr const char* kTabelaContadores = "ZLVPROXCODIGO";
// The ticket journal: without it tickets are written as before, unprotected.
inline constexpr const char* kTabelaDiario = "ZLVSINCIMPPEND";

// Whether the store database has the table. Throws the failure of the lookup itself (a lost
// connection), never for a missing table.
bool TabelaExiste(Database& db, const std::string& table);

// The script that makes the missing tables in this store's kind of database.
std::string ScriptAtualizacao(const Database& db);

}  // namespace zlv
