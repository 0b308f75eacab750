// StoreConnection: the form's `adcSincronismo`, the store database connection as the rest of
// the program sees it. It is a Database that forwards to the driver's connection, so that
// everything holding it (the Services of every subsystem, the statements built on it) keeps
// working across a reconnection.
//
// Connect runs the two connection handlers: adcSincronismoBeforeConnect takes the connection
// string from GetStringConexZlv, adcSincronismoAfterConnect runs SetADODBSession. An embedded
// database file that does not exist is refused rather than created empty: a store database
// that has gone missing must not be replaced by an empty one the orders would go into.
//
// Using the connection while it is not connected throws ConnectionLostError. A statement,
// transaction call or query that fails with ConnectionLostError marks the connection lost:
// Usable() is false until it is made again (RestoreStoreConnection).
//
// Main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "database/database.h"

namespace zlv {

class ActivityLog;
class ConfigKey;

class StoreConnection final : public Database {
 public:
  // Opens the driver's connection; throws with the reason it cannot.
  using Opener = std::function<std::unique_ptr<Database>()>;

  // The store's database as the configuration key names it.
  StoreConnection(const ConfigKey& key, std::filesystem::path exe_folder);
  // Whatever the opener hands out (tests wrap the real database in a fault injector).
  explicit StoreConnection(Opener opener);

  // Throws DatabaseError (or the session set-up's failure) with the reason.
  void Connect();
  void Disconnect();
  // Disconnect and Connect.
  void Reconnect();
  bool Connected() const { return db_ != nullptr; }
  // Connected, and nothing has met a lost link since.
  bool Usable() const { return db_ != nullptr && !lost_; }

  Dialect dialect() const override;
  std::string dbms_name() const override;
  std::string driver_name() const override;
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
  // Runs a call on the driver's connection, noting a lost link on the way out.
  template <typename Call>
  auto Noting(Call call) -> decltype(call(std::declval<Database&>()));

  Opener opener_;
  std::unique_ptr<Database> db_;
  bool lost_ = false;
};

// Makes the store connection again when it is down or was lost, at the start of a tick, with
// one log line per attempt ("adcSincronismo: reconectando ao banco de dados da loja", then
// "adcSincronismo: conectado ao banco de dados da loja" and StoreDatabaseLine, or "adcSincronismo:
// Erro -> " and the reason). True when the connection is usable; a failed attempt throws nothing,
// the next tick tries again.
bool RestoreStoreConnection(StoreConnection& connection, ActivityLog& log);

// "adcSincronismo: banco de dados <DBMS> (driver <driver>), dialeto <dialect>": which database
// a connection reached and which statements it is given, logged once per connection made.
std::string StoreDatabaseLine(const Database& db);

}  // namespace zlv
