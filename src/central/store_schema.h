// StoreSchema: the tables and columns of the store database, read from a live database
// (PRAGMA table_info) or from the schema script db/schema.sqlite.sql loaded into a private
// in-memory SQLite. The generator types its packets from it, so the consumer packets carry
// exactly the columns of the store's CONSUMIDOR and CONSUMIFILIAL and never drift from them.
//
// Value type once loaded; thread-safe to read.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/data_packet.h"

namespace zlv {

class Database;

class StoreSchema {
 public:
  StoreSchema() = default;
  // Every table of a SQLite database.
  static StoreSchema FromDatabase(Database& db);
  // Runs a schema script on an empty in-memory database and reads it. Throws
  // std::runtime_error naming the file when it cannot be read or run.
  static StoreSchema FromScript(const std::filesystem::path& script);

  bool HasTable(const std::string& table) const;
  // The table's columns in order, typed as packet fields; throws std::out_of_range when the
  // table is unknown.
  const std::vector<FieldDef>& Columns(const std::string& table) const;
  // NOT NULL without a default: a row written without a value for it would fail.
  bool IsRequired(const std::string& table, const std::string& column) const;

 private:
  std::map<std::string, std::vector<FieldDef>> tables_;  // upper-case names
  std::set<std::string> required_;                       // "TABLE.COLUMN", upper case
};

// A SQLite declared column type as a packet field type and size: VARCHAR(20) -> string 20,
// INTEGER -> integer, NUMERIC(12,2)/REAL/FLOAT -> float, DATETIME/DATE -> datetime.
FieldDef FieldFromDeclaredType(const std::string& name, const std::string& declared);

// The contents of a text file; throws std::runtime_error naming it.
std::string ReadTextFile(const std::filesystem::path& path);

}  // namespace zlv
