// Test fixture: a whole installation in a temporary folder, as the program and its tests see
// it: the store database Dados/ZlvSinc.db made from db/schema.sqlite.sql and db/demo-seed.sql
// (branch 0001, cash register 001 set up for delivery, store 001), the configuration key file,
// and the environment that points the program at them (ZLVSINC_HOME, ZLVSINC_REGISTRY, and the
// lock and unit folders, so nothing outside the folder is touched).
//
// For use on the test's own thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zlv::test {

class Installation {
 public:
  Installation();

  const std::filesystem::path& home() const { return home_.path(); }
  std::filesystem::path database() const { return home() / "Dados" / "ZlvSinc.db"; }
  std::filesystem::path registry() const { return home() / "registry.conf"; }
  std::filesystem::path unit_folder() const { return home() / "units"; }

  // Runs SQL on the store database (foreign keys off, so tests may break it on purpose).
  void Sql(const std::string& sql) const;
  // Replaces the configuration key file's contents.
  void SetRegistry(const std::string& contents) const;
  // Every log message written so far, oldest first, without time stamps.
  std::vector<std::string> Log() const;

 private:
  TempDir home_{"zlv-install"};
  ScopedEnv env_home_{"ZLVSINC_HOME", home_.path().string()};
  ScopedEnv env_registry_{"ZLVSINC_REGISTRY", (home_.path() / "registry.conf").string()};
  ScopedEnv env_lock_{"ZLVSINC_LOCK_DIR", home_.path().string()};
  ScopedEnv env_units_{"ZLVSINC_UNIT_DIR", (home_.path() / "units").string()};
};

}  // namespace zlv::test
