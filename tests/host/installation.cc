#include "installation.h"

#include <sqlite3.h>

#include <stdexcept>

#include "support/log_testing.h"

namespace zlv::test {

namespace {

void ExecScript(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + file.string());
  }
  char* error = nullptr;
  // No sync to disk: a test's database need not survive a power cut, and each test makes one.
  const int rc =
      sqlite3_exec(db, ("PRAGMA foreign_keys = OFF; PRAGMA synchronous = OFF;" + sql).c_str(),
                   nullptr, nullptr, &error);
  const std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message);
}

}  // namespace

Installation::Installation() {
  const std::filesystem::path db_folder = std::filesystem::path(ZLV_SOURCE_DIR) / "db";
  std::filesystem::create_directories(database().parent_path());
  std::filesystem::create_directories(unit_folder());
  ExecScript(database(), ReadFileBytes(db_folder / "schema.sqlite.sql"));
  ExecScript(database(), ReadFileBytes(db_folder / "demo-seed.sql"));
  SetRegistry("");
}

void Installation::Sql(const std::string& sql) const { ExecScript(database(), sql); }

void Installation::SetRegistry(const std::string& contents) const {
  WriteFileBytes(registry(), contents);
}

std::vector<std::string> Installation::Log() const { return AllLogMessages(home()); }

}  // namespace zlv::test
