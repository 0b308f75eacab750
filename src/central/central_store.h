// CentralStore: the reference central server's own database (SQLite): the orders waiting per
// branch and store until the store confirms them, the cancellations likewise, what each store
// uploaded of its sales and status history, the product problems ValidaProduto answers, the
// consumers and number counters of the generator, and one-shot messages for tests.
//
// Owns its database connection. One thread at a time (the server's event loop, or a command).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "central/generator_people.h"
#include "central/order_generator.h"
#include "data/datetime.h"
#include "database/database.h"

namespace zlv {

// Rolls back unless committed: every change of the store is all or nothing.
class StoreTransaction {
 public:
  explicit StoreTransaction(Database& db);
  ~StoreTransaction();
  StoreTransaction(const StoreTransaction&) = delete;
  StoreTransaction& operator=(const StoreTransaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool open_ = true;
};

struct StoreCounts {
  std::string branch, store;
  int orders_pending = 0, orders_confirmed = 0;
  int cancels_pending = 0, cancels_waiting = 0, cancels_confirmed = 0;
  int sales_uploaded = 0, sales_answered_s = 0, sales_answered_d = 0;
  int history_rows = 0;
};

struct StoreMessage {
  std::string text;
  bool as_error = false;  // answered as a JSON-RPC error instead of a text result
};

class CentralStore {
 public:
  // Opens (creating when missing) the database file and its tables. Throws DatabaseError.
  explicit CentralStore(const std::string& path);

  Database& db() { return *db_; }

  // The next value of a named counter; call inside a transaction.
  int64_t NextNumber(const std::string& counter);
  std::vector<ConsumerRecord> Consumers();
  void SaveConsumers(const std::vector<ConsumerRecord>& consumers);
  void AddOrder(const GeneratedOrder& order, DateTime now);
  // Cancels up to `count` orders the store has confirmed and that are not cancelled yet,
  // the latest first. Returns their central sale numbers.
  std::vector<std::string> CancelOrders(const std::string& branch, const std::string& store,
                                        int count, DateTime now);
  // An empty branch applies to every branch.
  void AddProductProblem(const std::string& branch, const std::string& product,
                         const std::string& arvprod, const std::string& message);
  // The next call of `method` from the branch and store gets this message (empty branch or
  // store: any).
  void AddMessage(const std::string& method, const std::string& branch, const std::string& store,
                  const StoreMessage& message);
  std::optional<StoreMessage> TakeMessage(const std::string& method, const std::string& branch,
                                          const std::string& store);

  std::vector<StoreCounts> Status();
  int ProductProblemCount();

 private:
  std::unique_ptr<Database> db_;
};

}  // namespace zlv
