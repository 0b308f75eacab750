// SqliteHubStore: the hub's data in one SQLite file, the embedded default (demo, tests, a
// small chain). The tables are created when missing.
//
// Owns its database connection. One thread at a time (the server's event loop, or a command).
#pragma once

#include <memory>
#include <string>

#include "central/hub_store.h"
#include "database/database.h"

namespace zlv {

class SqliteHubStore : public HubStore {
 public:
  // Opens (creating when missing) the database file and its tables. Throws DatabaseError.
  explicit SqliteHubStore(const std::string& path);

  // The connection itself, for tests that look into the tables.
  Database& db() { return *db_; }

  void Begin() override { db_->Begin(); }
  void Commit() override { db_->Commit(); }
  void Rollback() override { db_->Rollback(); }

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

  std::unique_ptr<Database> db_;
};

}  // namespace zlv
