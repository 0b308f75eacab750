// StoreConnection: the form's `adcSincronismo`, the store database connection as the rest of
// the program sees it. It is a Database that forwards to the driver's connection, so that
// everything holding it (the Services of every subsystem) keeps working across a reconnection.
//
// Connect runs the two connection handlers: adcSincronismoBeforeConnect takes the connection
// string from GetStringConexZlv, adcSincronismoAfterConnect runs SetADODBSession. An embedded
// database file that does not exist is refused rather than created empty: a store database
// that has gone missing must stop the program with its reason, not let it run against nothing.
// Using the connection while it is not connected throws DatabaseError.
//
// Main thread.
#pragma once

#include <filesystem>
#include <memory>

#include "storedb/database.h"

namespace zlv {

class ConfigKey;

class StoreConnection final : public Database {
 public:
  StoreConnection(const ConfigKey& key, std::filesystem::path exe_folder);

  // Throws DatabaseError (or the session set-up's failure) with the reason.
  void Connect();
  void Disconnect();
  // Disconnect and Connect.
  void Reconnect();
  bool Connected() const { return db_ != nullptr; }

  Dialect dialect() const override;
  std::string dbms_name() const override;
  DataPacket Query(const std::string& sql, const std::vector<Variant>& params,
                   const QueryOptions& options = {}) override;
  int64_t Execute(const std::string& sql, const std::vector<Variant>& params,
                  int timeout_seconds = 30) override;
  void Begin() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;

 private:
  Database& Open() const;

  const ConfigKey& key_;
  std::filesystem::path exe_folder_;
  std::unique_ptr<Database> db_;
};

}  // namespace zlv
