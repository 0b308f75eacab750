// The store's insert error diagnosis learns which master row is missing (an operator, a
// seller, a product) from the SQL Server message of a violated foreign key, which names the
// referenced table and the column. SQLite only says "FOREIGN KEY constraint failed", so for an
// INSERT or UPDATE that names its columns this finds the key that failed (the first whose
// parent row is missing, checked with the statement's own values) and words it as the
// server does:
//   The INSERT statement conflicted with the FOREIGN KEY constraint "FK_VENDAREST_OPERADOR".
//   The conflict occurred in database "ZLV", tabela "MORVANE.OPERADOR", column 'CDOPERADOR'
// The text ends at the column's closing quote: the diagnosis reads the column as what lies
// between "column '" and the last character.
//
// Runs its look-ups on the connection that failed; SQLite databases only (PRAGMA).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/database.h"

namespace zlv {

// nullopt when the statement is not such an INSERT/UPDATE or no key can be shown to fail.
std::optional<std::string> DescribeForeignKeyFailure(Database& db, std::string_view sql,
                                                     const std::vector<Variant>& params);

// SQLite's own text for a violated foreign key, also as the ODBC driver passes it on.
bool IsSqliteForeignKeyMessage(std::string_view message);

}  // namespace zlv
