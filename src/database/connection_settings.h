// The settings of the store database connection: its connection string (GetStringConexZlv)
// and the session set-up run right after connecting (SetADODBSession).
#pragma once

#include <filesystem>
#include <string>

#include "database/database.h"

namespace zlv {

class ConfigKey;

// The value ConnectionString of the configuration key; without it, the embedded SQLite
// database <exe folder>/Dados/ZlvSinc.db ("sqlite:<path>").
std::string GetStringConexZlv(const std::string& unused, const ConfigKey& key,
                              const std::filesystem::path& exe_folder);

// SQL Server: date format dmy and the arithmetic-abort settings the statements expect.
// SQLite: foreign keys on, WAL, a busy time-out.
void SetADODBSession(Database& db);

}  // namespace zlv
