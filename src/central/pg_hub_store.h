// PgHubStore: the hub's data in a PostgreSQL database (a real chain: any number of hub
// processes on one database). Opening it brings the schema up to date (pg_hub_schema.h).
//
// A connection lost between transactions is made again at the next Begin(); one lost inside
// a transaction fails it with ConnectionLostError, and the next Begin() reconnects.
//
// Counters, message taking and order hand-out are single statements, so that processes
// sharing the database never hand out one number or one message twice. Orders are given in
// byte order of their texts (COLLATE "C"), as SQLite sorts them, whatever the database's
// collation.
//
// Owns its connection. One thread at a time.
#pragma once

#include <string>

#include "central/hub_store.h"
#include "central/pg_connection.h"

namespace zlv {

class PgHubStore : public HubStore {
 public:
  // Connects to the libpq URI and migrates. Throws DatabaseError without the password.
  explicit PgHubStore(const std::string& uri);

  void Begin() override;
  void Commit() override;
  void Rollback() override;

  int64_t NextNumber(const std::string& counter) override;
  std::vector<ConsumerRecord> Consumers() override;
  std::vector<ConsumerRecord> ConsumersByPhone(const std::string& client,
                                               const std::string& phone) override;
  void SaveConsumers(const std::vector<ConsumerRecord>& consumers) override;
  void AddOrder(const GeneratedOrder& order, DateTime now) override;
  std::vector<std::string> CancelOrders(const std::string& branch, const std::string& store,
                                        int count, DateTime now) override;
  void AddProductProblem(const std::string& branch, const std::string& product,
                         const std::string& arvprod, const std::string& message) override;
  void AddMessage(const std::string& method, const std::string& branch, const std::string& store,
                  const StoreMessage& message) override;
  std::optional<StoreMessage> TakeMessage(const std::string& method, const std::string& branch,
                                          const std::string& store) override;
  std::vector<StoreCounts> Status() override;
  int ProductProblemCount() override;

  std::vector<OrderDownload> HandOutOrders(const std::string& branch, const std::string& store,
                                           int limit) override;
  std::vector<CancellationDownload> PendingCancellations(const std::string& branch,
                                                         const std::string& store) override;
  void ConfirmOrder(const std::string& branch, const std::string& sale, DateTime now) override;
  void ConfirmCancellation(const std::string& branch, const std::string& sale,
                           DateTime now) override;
  std::optional<std::string> UploadedCentralSale(const std::string& branch,
                                                 const std::string& store,
                                                 const std::string& local_sale) override;
  void RecordUpload(const SaleUpload& upload, DateTime now) override;
  void RecordHistory(const HistoryKey& key, const std::string& row, DateTime now) override;
  std::vector<ProductProblem> ProductProblems(const std::string& branch,
                                              const std::string& product) override;
  void RecordCalls(const std::vector<StoreCall>& calls) override;
  std::vector<StoreCallRecord> StoreCalls() override;
  std::vector<StorePresence> StorePresences(const std::optional<StoreKey>& only) override;
  void SaveStore(const StoreRecord& store) override;
  std::optional<StoreRecord> FindStore(const std::string& branch,
                                       const std::string& store) override;
  void SaveBranchSettings(const BranchSettings& settings) override;
  std::optional<BranchSettings> FindBranchSettings(const std::string& branch) override;
  void AddApiKey(const ApiKeyRecord& key) override;
  std::optional<ApiKeyRecord> FindApiKey(const std::string& hash) override;
  void AddInstallationToken(const InstallationToken& token) override;
  std::optional<InstallationToken> FindInstallationToken(const std::string& hash) override;
  int RevokeInstallationTokens(const std::string& branch, const std::string& cash_register,
                               const std::string& hash_prefix) override;
  std::optional<ChannelOrderRecord> FindChannelOrder(const std::string& channel,
                                                     const std::string& external_id) override;
  void AddChannelOrder(const ChannelOrderRecord& order) override;
  std::optional<OrderRoadRecord> FindOrderRoad(const std::string& sale) override;
  bool WithdrawOrder(const std::string& branch, const std::string& sale) override;
  void AddCancellation(const CancellationRequest& cancellation, DateTime now) override;

 private:
  std::vector<StoreCallRecord> Calls(const std::optional<StoreKey>& only);

  PgConnection connection_;
};

}  // namespace zlv
