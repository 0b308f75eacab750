// HubStore: everything the hub keeps, behind one interface with a back end per database
// (SqliteHubStore, the embedded default; PgHubStore, PostgreSQL for a real chain). What it holds:
// the orders waiting per branch and store until the store confirms them, the cancellations
// likewise, what each store uploaded of its sales and status history, the product problems
// ValidaProduto answers, the consumers and number counters of the order generator, and one-shot
// messages for tests.
//
// The contract every back end keeps:
// - Transactions: Begin() .. Commit() is all or nothing; Rollback() (or a HubTransaction left
//   without Commit()) leaves nothing of it. Each call of a store method is one transaction;
//   a change made outside any transaction is committed on its own. Transactions do not nest.
// - Failures throw DatabaseError with the database's message (never a password); the
//   transaction is then only good for Rollback().
// - Numbers from NextNumber are never handed out twice, also to processes sharing the data.
// - Texts are kept and given back byte for byte; times are recorded as the caller's `now`,
//   except the stores' calls, which the database's clock dates and ages.
// - "Pending" lists come in a stable order: oldest first, ties by sale number.
//
// Owns its connection. One thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "central/generator_people.h"
#include "central/order_generator.h"
#include "data/data_packet.h"
#include "data/datetime.h"

namespace zlv {

struct StoreCounts {
  std::string branch, store;
  int orders_pending = 0, orders_confirmed = 0;
  int cancels_pending = 0, cancels_waiting = 0, cancels_confirmed = 0;
  int sales_uploaded = 0, sales_answered_s = 0, sales_answered_d = 0;
  int history_rows = 0;
};

// Fills the counts of counts.branch/counts.store, each asked of count(table, condition): the
// rows of the table (an alias may follow its name) of that store matching the condition
// (empty: all of them). Both back ends count the same way.
void CountStore(StoreCounts& counts,
                const std::function<int(const std::string&, const std::string&)>& count);

// The SET clause of an upload's upsert for the sale's states and answer: once the hub
// answered "D" (closed or cancelled at the store) they stay, so that an order's road never
// moves back from its end.
extern const char* const kUploadStatesUpdate;

struct StoreMessage {
  std::string text;
  bool as_error = false;  // answered as a JSON-RPC error instead of a text result
};

// An order handed to a store: its central sale number and its rows of each download set.
struct OrderDownload {
  std::string sale;
  std::vector<DataPacket> sets;
};

// A cancellation the store can apply: the order's central number, the store's own number for
// the sale (known once the store uploaded it) and the order's parties as the order had them.
struct CancellationDownload {
  std::string branch, store, sale, local_sale;
  std::optional<std::string> client, consumer, seller;
};

// One sale of a store's upload and the hub's answer to it.
struct SaleUpload {
  std::string branch, store;
  std::string local_sale, central_sale;
  std::string tab_states;  // the sale's order tab states, comma-separated
  std::string answer;      // "S" or "D"
};

// The key of a status-history row.
struct HistoryKey {
  std::string branch, store, sale, tab, sequence;
};

struct ProductProblem {
  std::string arvprod, message;
};

// What a store's calls of one method came to since they were last recorded. The ages are how
// long before the write each happened, so that the database's own clock dates them: hub
// processes on machines whose clocks differ still agree on how old a call is.
struct StoreCall {
  std::string branch, store, method;
  double call_age_s = 0;
  std::optional<double> success_age_s, failure_age_s;
  std::string failure;         // the last failure's error text
  bool without_token = false;  // the last call came without the installation's token
};

// A store's last call of a method as the hub recorded it, aged on the database's clock.
struct StoreCallRecord {
  std::string branch, store, method;
  double call_age_s = 0;
  std::optional<double> success_age_s, failure_age_s;
  std::string failure;
  bool without_token = false;  // the last call came without the installation's token
};

// A store the hub takes orders for: the registry a channel's order must find its store in.
struct StoreRecord {
  std::string branch, store, name;
  std::string time_zone;  // IANA name, as "America/Sao_Paulo"
};

// A store by its branch and code.
struct StoreKey {
  std::string branch, store;
};

// What the hub knows of a store's liveliness: its registration, its calls and its orders in
// flight, every age on the database's clock.
struct StorePresence {
  StoreRecord store;        // name and time zone empty for a store that called unregistered
  bool registered = false;  // in the registry
  std::vector<StoreCallRecord> calls;          // one per method it called, in method order
  int queued = 0;                              // pending, never handed out
  int handed_out = 0;                          // pending, handed out at least once
  std::optional<double> oldest_waiting_age_s;  // the oldest pending order's, by its queueing
  int stuck = 0;                               // as the order's road (order_road.h) counts them
  int received = 0;                            // confirmed, not in the store's uploads yet
  int needs_reconciliation = 0;                // of those, received too long ago
};

// What an order of the branch needs that a channel does not know: the codes of the branch's
// own registrations the downloaded rows refer to.
struct BranchSettings {
  std::string branch;
  std::string client;         // CDCLIENTE of the channel's consumers
  std::string seller;         // CDVENDEDOR
  std::string operator_code;  // CDOPERADOR
  std::string origin;         // IDORGCMDVENDA when the order names none
  // CDTIPORECE per way of paying: "cash", "card", "voucher", "online".
  std::map<std::string, std::string> receipt_types;
  // The place codes of an address that names none (CDPAIS, SGESTADO, CDMUNICIPIO): the
  // store's delivery router takes only orders whose address has them, and a branch's
  // customers mostly live in its own town.
  std::string country, state, municipality;
};

// A channel's API key as the hub keeps it: never the key, only its SHA-256.
struct ApiKeyRecord {
  std::string hash;  // lower-case hex
  std::string channel;
  bool support = false;               // read-only, every branch
  std::vector<std::string> branches;  // what a channel's key reaches
};

// An installation's token as the hub keeps it: never the token, only its SHA-256. An
// installation is a branch and a cash register; its token covers one store of the branch, or
// every store of it (an empty store) when the installation synchronises them all.
struct InstallationToken {
  std::string hash;  // lower-case hex
  std::string branch, cash_register, store;
  bool revoked = false;
};

// An order a channel put in, by the channel's own id for it.
struct ChannelOrderRecord {
  std::string channel, external_id;
  std::string body_hash;  // SHA-256 of the request body: the same id with another body is refused
  std::string branch, store, sale;
};

// An order's road as the hub knows it: what the hub did with it and what its store reported.
// Times are RFC 3339 in UTC, on the database's clock.
struct OrderRoadRecord {
  std::string branch, store, sale;
  std::string state;  // PENDING, CONFIRMED, or WITHDRAWN (cancelled before the store had it)
  int downloads = 0;  // how many times it was handed out
  std::optional<std::string> queued_at, last_download_at, received_at;
  std::optional<double> received_age_s;             // how long ago the store confirmed it
  std::optional<std::string> channel, external_id;  // for a channel's order
  // The store's last upload of its sale: its own number, the order tabs' states, the answer.
  std::optional<std::string> local_sale, tab_states, answer;
  // A cancellation asked for: PENDING (for the store to apply), CONFIRMED (applied) or DONE
  // (the order was withdrawn before the store had it), with its reason and time.
  std::optional<std::string> cancel_state, cancel_reason, cancel_requested_at;
  std::vector<std::string> history;  // the status-history rows the store uploaded, as JSON
  std::vector<DataPacket> sets;      // the order's download rows
};

// A cancellation to keep for an order of the branch and store.
struct CancellationRequest {
  std::string branch, store, sale;
  std::string state;  // PENDING or DONE
  std::string reason;
};

class HubStore {
 public:
  virtual ~HubStore() = default;

  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;

  // The order generator and the operator's commands.

  // The next value of a named counter.
  virtual int64_t NextNumber(const std::string& counter) = 0;
  virtual std::vector<ConsumerRecord> Consumers() = 0;
  // The client's consumers with this phone (NRTELECONS), through an index: a channel's order
  // finds its customer without reading the whole chain's.
  virtual std::vector<ConsumerRecord> ConsumersByPhone(const std::string& client,
                                                       const std::string& phone) = 0;
  // Adds the consumers, replacing those with the same client and consumer codes.
  virtual void SaveConsumers(const std::vector<ConsumerRecord>& consumers) = 0;
  // A new pending order for its branch and store.
  virtual void AddOrder(const GeneratedOrder& order, DateTime now) = 0;
  // Cancels up to `count` orders the store has confirmed and that are not cancelled yet,
  // the latest confirmed first. Returns their central sale numbers.
  virtual std::vector<std::string> CancelOrders(const std::string& branch, const std::string& store,
                                                int count, DateTime now) = 0;
  // An empty branch applies to every branch; replaces the same branch, product and arvprod.
  virtual void AddProductProblem(const std::string& branch, const std::string& product,
                                 const std::string& arvprod, const std::string& message) = 0;
  // The next call of `method` from the branch and store gets this message (empty branch or
  // store: any).
  virtual void AddMessage(const std::string& method, const std::string& branch,
                          const std::string& store, const StoreMessage& message) = 0;
  // The oldest message set for this call, which is then gone.
  virtual std::optional<StoreMessage> TakeMessage(const std::string& method,
                                                  const std::string& branch,
                                                  const std::string& store) = 0;
  // Per branch and store that has orders, uploads or history, in branch and store order.
  virtual std::vector<StoreCounts> Status() = 0;
  virtual int ProductProblemCount() = 0;

  // The store protocol.

  // Up to `limit` pending orders of the store, oldest first, each counted as downloaded once
  // more.
  virtual std::vector<OrderDownload> HandOutOrders(const std::string& branch,
                                                   const std::string& store, int limit) = 0;
  // The store's pending cancellations whose store sale number is known, oldest first.
  virtual std::vector<CancellationDownload> PendingCancellations(const std::string& branch,
                                                                 const std::string& store) = 0;
  // Marks a pending order (or cancellation) of the branch confirmed; nothing when it is not
  // pending.
  virtual void ConfirmOrder(const std::string& branch, const std::string& sale, DateTime now) = 0;
  virtual void ConfirmCancellation(const std::string& branch, const std::string& sale,
                                   DateTime now) = 0;
  // The central number recorded for a sale of the store by its last upload, if any.
  virtual std::optional<std::string> UploadedCentralSale(const std::string& branch,
                                                         const std::string& store,
                                                         const std::string& local_sale) = 0;
  // Records (or updates, counting the uploads) the sale's state and answer.
  virtual void RecordUpload(const SaleUpload& upload, DateTime now) = 0;
  // Keeps a status-history row (as JSON text), replacing the one with the same key.
  virtual void RecordHistory(const HistoryKey& key, const std::string& row, DateTime now) = 0;
  // The problems set for the product in the branch or in every branch, by arvprod.
  virtual std::vector<ProductProblem> ProductProblems(const std::string& branch,
                                                      const std::string& product) = 0;

  // The stores' calls, for the presence view.

  // Moves each store's record of the method forward; a record never goes back in time.
  virtual void RecordCalls(const std::vector<StoreCall>& calls) = 0;
  // Every store's record per method, in branch, store and method order.
  virtual std::vector<StoreCallRecord> StoreCalls() = 0;
  // Every store of the registry and every other that called, in branch and store order (or
  // only the one asked for). A few queries whatever the number of stores: a chain has
  // thousands.
  virtual std::vector<StorePresence> StorePresences(const std::optional<StoreKey>& only) = 0;

  // The registry of stores and branches, and the channels' keys.

  // Adds the store, or replaces the one with the same branch and store.
  virtual void SaveStore(const StoreRecord& store) = 0;
  virtual std::optional<StoreRecord> FindStore(const std::string& branch,
                                               const std::string& store) = 0;
  // Adds the branch's settings, or replaces them.
  virtual void SaveBranchSettings(const BranchSettings& settings) = 0;
  virtual std::optional<BranchSettings> FindBranchSettings(const std::string& branch) = 0;
  virtual void AddApiKey(const ApiKeyRecord& key) = 0;
  virtual std::optional<ApiKeyRecord> FindApiKey(const std::string& hash) = 0;

  // The installations' tokens. An installation may hold several at once, so that a new one
  // can be rolled out before the old one is revoked.
  virtual void AddInstallationToken(const InstallationToken& token) = 0;
  virtual std::optional<InstallationToken> FindInstallationToken(const std::string& hash) = 0;
  // Revokes the installation's tokens whose hash begins with `hash_prefix`; how many it did.
  virtual int RevokeInstallationTokens(const std::string& branch, const std::string& cash_register,
                                       const std::string& hash_prefix) = 0;

  // The channels' orders by their own ids. AddChannelOrder throws DatabaseError when the
  // channel already has the id (a process that raced this one put it in first).
  virtual std::optional<ChannelOrderRecord> FindChannelOrder(const std::string& channel,
                                                             const std::string& external_id) = 0;
  virtual void AddChannelOrder(const ChannelOrderRecord& order) = 0;

  // The road of the order with this central number, if the hub has it.
  virtual std::optional<OrderRoadRecord> FindOrderRoad(const std::string& sale) = 0;
  // Takes a pending order out of the queue (state WITHDRAWN): no store gets it any more.
  // False when it was not pending (a store confirmed it meanwhile).
  virtual bool WithdrawOrder(const std::string& branch, const std::string& sale) = 0;
  // Keeps the cancellation; a PENDING one is handed to the store once it uploaded the sale.
  virtual void AddCancellation(const CancellationRequest& cancellation, DateTime now) = 0;
};

// The presences of the registered stores, the calls and the order counts read from the
// database (each in branch and store order, the calls also by method), put together.
std::vector<StorePresence> AssemblePresences(const std::vector<StoreRecord>& registry,
                                             std::vector<StoreCallRecord> calls,
                                             const std::vector<StorePresence>& orders);

// Rolls back unless committed: every change of the hub is all or nothing.
class HubTransaction {
 public:
  explicit HubTransaction(HubStore& store);
  ~HubTransaction();
  HubTransaction(const HubTransaction&) = delete;
  HubTransaction& operator=(const HubTransaction&) = delete;
  void Commit();

 private:
  HubStore& store_;
  bool open_ = true;
};

}  // namespace zlv
