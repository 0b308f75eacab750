#include "central/central_store.h"

#include <map>

#include "sync/protocol_json.h"

namespace zlv {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS CENTRAL_COUNTER (
  NMCOUNTER TEXT PRIMARY KEY, NRVALUE INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS CENTRAL_CONSUMER (
  CDCLIENTE TEXT NOT NULL, CDCONSUMIDOR TEXT NOT NULL, DSVALUES TEXT NOT NULL,
  PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR));
CREATE TABLE IF NOT EXISTS CENTRAL_ORDER (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  CDCLIENTE TEXT, CDCONSUMIDOR TEXT, CDVENDEDOR TEXT, IDAGENDADO TEXT NOT NULL,
  STATE TEXT NOT NULL, DTCREATED TEXT NOT NULL, DTCONFIRMED TEXT, NRDOWNLOADS INTEGER NOT NULL,
  DSPACKETS TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, NRVENDAREST));
-- In the order a download hands them out, so that a download reads its 100 orders instead of
-- sorting a whole backlog.
DROP INDEX IF EXISTS CENTRAL_ORDER_PENDING;
CREATE INDEX IF NOT EXISTS CENTRAL_ORDER_QUEUE
  ON CENTRAL_ORDER (CDFILIAL, CDLOJA, STATE, DTCREATED, NRVENDAREST);
CREATE TABLE IF NOT EXISTS CENTRAL_CANCEL (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  STATE TEXT NOT NULL, DTCREATED TEXT NOT NULL, DTCONFIRMED TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST));
CREATE TABLE IF NOT EXISTS CENTRAL_UPLOAD (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  NRVENDARESTAUX TEXT, IDSTCOMANDA TEXT, SGSEXOCON TEXT, DTUPLOAD TEXT NOT NULL,
  NRUPLOADS INTEGER NOT NULL,
  PRIMARY KEY (CDFILIAL, CDLOJA, NRVENDAREST));
CREATE INDEX IF NOT EXISTS CENTRAL_UPLOAD_AUX ON CENTRAL_UPLOAD (CDFILIAL, NRVENDARESTAUX);
CREATE TABLE IF NOT EXISTS CENTRAL_HISTORY (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  NRCOMANDA TEXT NOT NULL, NRSEQHISTPED TEXT NOT NULL, DSROW TEXT NOT NULL,
  DTRECEIVED TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED));
CREATE TABLE IF NOT EXISTS CENTRAL_PRODUCT_PROBLEM (
  CDFILIAL TEXT NOT NULL, CDPRODUTO TEXT NOT NULL, CDARVPROD TEXT NOT NULL,
  DSMSGIMPOSTO TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, CDPRODUTO, CDARVPROD));
CREATE TABLE IF NOT EXISTS CENTRAL_MESSAGE (
  NRMESSAGE INTEGER PRIMARY KEY AUTOINCREMENT, DSMETODO TEXT NOT NULL, CDFILIAL TEXT NOT NULL,
  CDLOJA TEXT NOT NULL, DSMSG TEXT NOT NULL, IDERRO TEXT NOT NULL);
)sql";

// First values of the counters: distinct ranges, so a central number is never mistaken for
// a store's local one while reading logs.
const std::map<std::string, int64_t> kCounterStarts = {
    {"NRVENDAREST", 500001}, {"NRCOMANDA", 800001}, {"CDCONSUMIDOR", 900001}};

int Count(Database& db, const std::string& sql, const std::vector<Variant>& params) {
  const DataPacket result = db.Query(sql, params);
  return result.rows.empty() ? 0 : static_cast<int>(result.rows[0][0].AsInteger());
}

}  // namespace

StoreTransaction::StoreTransaction(Database& db) : db_(db) { db_.Begin(); }

StoreTransaction::~StoreTransaction() {
  if (!open_) return;
  try {
    db_.Rollback();
  } catch (...) {
    // Already failing: the error that brought us here is the one to report.
  }
}

void StoreTransaction::Commit() {
  db_.Commit();
  open_ = false;
}

CentralStore::CentralStore(const std::string& path) : db_(OpenDatabase("sqlite:" + path)) {
  db_->Execute(kSchema, {}, 0);
}

int64_t CentralStore::NextNumber(const std::string& counter) {
  const DataPacket current =
      db_->Query("SELECT NRVALUE FROM CENTRAL_COUNTER WHERE NMCOUNTER = ?", {Variant(counter)});
  int64_t value = 1;
  if (current.rows.empty()) {
    const auto start = kCounterStarts.find(counter);
    if (start != kCounterStarts.end()) value = start->second;
    db_->Execute("INSERT INTO CENTRAL_COUNTER (NMCOUNTER, NRVALUE) VALUES (?, ?)",
                 {Variant(counter), Variant(value)});
  } else {
    value = current.rows[0][0].AsInteger() + 1;
    db_->Execute("UPDATE CENTRAL_COUNTER SET NRVALUE = ? WHERE NMCOUNTER = ?",
                 {Variant(value), Variant(counter)});
  }
  return value;
}

std::vector<ConsumerRecord> CentralStore::Consumers() {
  std::vector<ConsumerRecord> consumers;
  for (const auto& row : db_->Query("SELECT CDCLIENTE, CDCONSUMIDOR, DSVALUES FROM "
                                    "CENTRAL_CONSUMER ORDER BY CDCLIENTE, CDCONSUMIDOR",
                                    {})
                             .rows) {
    ConsumerRecord consumer{row[0].AsText(), row[1].AsText(), {}};
    const auto values = ParseJsonText(row[2].AsText());
    for (const auto& [name, value] : values.items()) {
      consumer.values[name] = VariantFromJson(value);
    }
    consumers.push_back(std::move(consumer));
  }
  return consumers;
}

void CentralStore::SaveConsumers(const std::vector<ConsumerRecord>& consumers) {
  for (const auto& consumer : consumers) {
    nlohmann::json values = nlohmann::json::object();
    for (const auto& [name, value] : consumer.values) values[name] = VariantToJson(value);
    db_->Execute(
        "INSERT OR REPLACE INTO CENTRAL_CONSUMER (CDCLIENTE, CDCONSUMIDOR, DSVALUES) "
        "VALUES (?, ?, ?)",
        {Variant(consumer.client), Variant(consumer.consumer), Variant(DumpJsonText(values))});
  }
}

void CentralStore::AddOrder(const GeneratedOrder& order, DateTime now) {
  std::vector<Variant> packets;
  for (const auto& packet : order.sets) packets.emplace_back(packet);
  const DataPacket& sale = order.sets[kVendaRest];
  const auto value = [&sale](const char* name) {
    const int at = sale.FieldIndex(name);
    return at < 0 || sale.rows.empty() ? Variant::Null()
                                       : sale.rows[0][static_cast<std::size_t>(at)];
  };
  db_->Execute(
      "INSERT INTO CENTRAL_ORDER (CDFILIAL, CDLOJA, NRVENDAREST, CDCLIENTE, CDCONSUMIDOR, "
      "CDVENDEDOR, IDAGENDADO, STATE, DTCREATED, NRDOWNLOADS, DSPACKETS) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, 'PENDING', ?, 0, ?)",
      {Variant(order.branch), Variant(order.store), Variant(order.sale), value("CDCLIENTE"),
       value("CDCONSUMIDOR"), value("CDVENDEDOR"), Variant(order.scheduled ? "S" : "N"),
       Variant(now.ToIso()), Variant(DumpJsonText(VariantToJson(Variant(std::move(packets)))))});
}

std::vector<std::string> CentralStore::CancelOrders(const std::string& branch,
                                                    const std::string& store, int count,
                                                    DateTime now) {
  const DataPacket candidates = db_->Query(
      "SELECT O.NRVENDAREST FROM CENTRAL_ORDER O WHERE O.CDFILIAL = ? AND O.CDLOJA = ? "
      "AND O.STATE = 'CONFIRMED' AND NOT EXISTS (SELECT 1 FROM CENTRAL_CANCEL C "
      "WHERE C.CDFILIAL = O.CDFILIAL AND C.NRVENDAREST = O.NRVENDAREST) "
      "ORDER BY O.DTCONFIRMED DESC, O.NRVENDAREST DESC LIMIT ?",
      {Variant(branch), Variant(store), Variant(count)});
  std::vector<std::string> cancelled;
  for (const auto& row : candidates.rows) {
    cancelled.push_back(row[0].AsText());
    db_->Execute(
        "INSERT INTO CENTRAL_CANCEL (CDFILIAL, CDLOJA, NRVENDAREST, STATE, DTCREATED) "
        "VALUES (?, ?, ?, 'PENDING', ?)",
        {Variant(branch), Variant(store), row[0], Variant(now.ToIso())});
  }
  return cancelled;
}

void CentralStore::AddProductProblem(const std::string& branch, const std::string& product,
                                     const std::string& arvprod, const std::string& message) {
  db_->Execute(
      "INSERT OR REPLACE INTO CENTRAL_PRODUCT_PROBLEM (CDFILIAL, CDPRODUTO, CDARVPROD, "
      "DSMSGIMPOSTO) VALUES (?, ?, ?, ?)",
      {Variant(branch), Variant(product), Variant(arvprod), Variant(message)});
}

void CentralStore::AddMessage(const std::string& method, const std::string& branch,
                              const std::string& store, const StoreMessage& message) {
  db_->Execute(
      "INSERT INTO CENTRAL_MESSAGE (DSMETODO, CDFILIAL, CDLOJA, DSMSG, IDERRO) "
      "VALUES (?, ?, ?, ?, ?)",
      {Variant(method), Variant(branch), Variant(store), Variant(message.text),
       Variant(message.as_error ? "S" : "N")});
}

std::optional<StoreMessage> CentralStore::TakeMessage(const std::string& method,
                                                      const std::string& branch,
                                                      const std::string& store) {
  const DataPacket found = db_->Query(
      "SELECT NRMESSAGE, DSMSG, IDERRO FROM CENTRAL_MESSAGE WHERE DSMETODO = ? "
      "AND CDFILIAL IN ('', ?) AND CDLOJA IN ('', ?) ORDER BY NRMESSAGE LIMIT 1",
      {Variant(method), Variant(branch), Variant(store)});
  if (found.rows.empty()) return std::nullopt;
  db_->Execute("DELETE FROM CENTRAL_MESSAGE WHERE NRMESSAGE = ?", {found.rows[0][0]});
  return StoreMessage{found.rows[0][1].AsText(), found.rows[0][2].AsText() == "S"};
}

std::vector<StoreCounts> CentralStore::Status() {
  std::vector<StoreCounts> stores;
  const DataPacket keys = db_->Query(
      "SELECT CDFILIAL, CDLOJA FROM CENTRAL_ORDER UNION SELECT CDFILIAL, CDLOJA FROM "
      "CENTRAL_UPLOAD UNION SELECT CDFILIAL, CDLOJA FROM CENTRAL_HISTORY ORDER BY 1, 2",
      {});
  for (const auto& key : keys.rows) {
    StoreCounts counts{key[0].AsText(), key[1].AsText()};
    const std::vector<Variant> at = {key[0], key[1]};
    const auto count = [&](const std::string& table, const std::string& condition) {
      return Count(*db_,
                   "SELECT COUNT(*) FROM " + table + " WHERE CDFILIAL = ? AND CDLOJA = ?" +
                       (condition.empty() ? "" : " AND " + condition),
                   at);
    };
    counts.orders_pending = count("CENTRAL_ORDER", "STATE = 'PENDING'");
    counts.orders_confirmed = count("CENTRAL_ORDER", "STATE = 'CONFIRMED'");
    counts.cancels_pending = count("CENTRAL_CANCEL", "STATE = 'PENDING'");
    counts.cancels_waiting =
        count("CENTRAL_CANCEL C",
              "STATE = 'PENDING' AND NOT EXISTS (SELECT 1 FROM CENTRAL_UPLOAD U "
              "WHERE U.CDFILIAL = C.CDFILIAL AND U.CDLOJA = C.CDLOJA AND "
              "U.NRVENDARESTAUX = C.NRVENDAREST)");
    counts.cancels_confirmed = count("CENTRAL_CANCEL", "STATE = 'CONFIRMED'");
    counts.sales_uploaded = count("CENTRAL_UPLOAD", "");
    counts.sales_answered_s = count("CENTRAL_UPLOAD", "SGSEXOCON = 'S'");
    counts.sales_answered_d = count("CENTRAL_UPLOAD", "SGSEXOCON = 'D'");
    counts.history_rows = count("CENTRAL_HISTORY", "");
    stores.push_back(counts);
  }
  return stores;
}

int CentralStore::ProductProblemCount() {
  return Count(*db_, "SELECT COUNT(*) FROM CENTRAL_PRODUCT_PROBLEM", {});
}

}  // namespace zlv
