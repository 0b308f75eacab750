#include "support/demo_store.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "database/connection_settings.h"

namespace zlv::test {

namespace {

std::filesystem::path DbFolder() { return std::filesystem::path(ZLV_DEMO_STORE_DB_DIR); }

}  // namespace

void RunSqlFile(Database& db, const std::filesystem::path& script) {
  std::ifstream in(script, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + script.string());
  std::ostringstream text;
  text << in.rdbuf();
  db.Execute(text.str(), {}, 0);
}

std::unique_ptr<Database> OpenDemoStore(const std::filesystem::path& file, Seed seed) {
  auto db = OpenDatabase("sqlite:" + file.string());
  SetADODBSession(*db);
  // A test's database is thrown away: waiting for the disk on every write only slows it.
  db->Execute("PRAGMA synchronous = OFF", {});
  RunSqlFile(*db, DbFolder() / "schema.sqlite.sql");
  if (seed == Seed::kDemoStore) RunSqlFile(*db, DbFolder() / "demo-seed.sql");
  return db;
}

}  // namespace zlv::test
