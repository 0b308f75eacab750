// The floor the order writers are compared with: the same rows of the same orders written to a
// store database of the same schema and settings by a bare loop over prepared SQLite
// statements, one transaction per order, nothing else (no numbering, no checks, no log, no
// tickets).
//
// Owns its connection and statements. One thread.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "central/order_generator.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zlv::bench {

class BareSqliteWriter {
 public:
  // Opens an existing store database with the session settings of the synchroniser.
  explicit BareSqliteWriter(const std::filesystem::path& file);
  ~BareSqliteWriter();
  BareSqliteWriter(const BareSqliteWriter&) = delete;
  BareSqliteWriter& operator=(const BareSqliteWriter&) = delete;

  // Writes the order's consumer, sale, order tab, items, observations and payments under new
  // local sale and order-tab numbers, in one transaction. Throws std::runtime_error.
  void Write(const GeneratedOrder& order);

 private:
  struct Insert;
  Insert& InsertFor(int set, const std::vector<FieldDef>& fields);
  void Exec(const char* sql);

  sqlite3* db_ = nullptr;
  std::map<int, std::unique_ptr<Insert>> inserts_;
  int64_t next_number_ = 1;
};

}  // namespace zlv::bench
