// The connection string of the embedded database: "sqlite:" and its target, a file path,
// ":memory:" or a "file:" URI. Any other connection string is an ODBC one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zlv {

// The connection string that opens the embedded database file `file`.
std::string SqliteConnectionString(const std::filesystem::path& file);

// The target of an embedded database connection string; nullopt for any other string.
std::optional<std::string> SqliteTarget(const std::string& connection_string);

}  // namespace zlv
