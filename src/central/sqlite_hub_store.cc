#include "central/sqlite_hub_store.h"

#include "central/hub_encoding.h"
#include "central/order_road.h"

#include <cstdio>

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
-- Times in UTC on the database's clock: 'YYYY-MM-DD HH:MM:SS.SSS'.
CREATE TABLE IF NOT EXISTS CENTRAL_STORE_CALL (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, DSMETODO TEXT NOT NULL,
  DTLASTCALL TEXT NOT NULL, DTLASTSUCCESS TEXT, DTLASTFAILURE TEXT, DSLASTFAILURE TEXT,
  PRIMARY KEY (CDFILIAL, CDLOJA, DSMETODO));
CREATE TABLE IF NOT EXISTS CENTRAL_STORE (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NMLOJA TEXT NOT NULL, DSTIMEZONE TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, CDLOJA));
CREATE TABLE IF NOT EXISTS CENTRAL_BRANCH (
  CDFILIAL TEXT PRIMARY KEY, DSSETTINGS TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS CENTRAL_API_KEY (
  DSHASH TEXT PRIMARY KEY, NMCHANNEL TEXT NOT NULL, IDSUPPORT TEXT NOT NULL,
  DSBRANCHES TEXT NOT NULL, DTCREATED TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP);
CREATE TABLE IF NOT EXISTS CENTRAL_CHANNEL_ORDER (
  NMCHANNEL TEXT NOT NULL, DSEXTERNALID TEXT NOT NULL, DSHASH TEXT NOT NULL,
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  DTCREATED TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP,
  PRIMARY KEY (NMCHANNEL, DSEXTERNALID));
CREATE TABLE IF NOT EXISTS CENTRAL_INSTALLATION_TOKEN (
  DSHASH TEXT PRIMARY KEY, CDFILIAL TEXT NOT NULL, CDCAIXA TEXT NOT NULL,
  CDLOJA TEXT NOT NULL, DTCREATED TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP, DTREVOKED TEXT);
CREATE INDEX IF NOT EXISTS CENTRAL_ORDER_SALE ON CENTRAL_ORDER (NRVENDAREST);
CREATE INDEX IF NOT EXISTS CENTRAL_CHANNEL_ORDER_SALE
  ON CENTRAL_CHANNEL_ORDER (CDFILIAL, NRVENDAREST);
)sql";

// Columns added since the first hub files, with their types: an older file gains them when
// opened. Times of the orders' road are UTC on the database's clock, 'YYYY-MM-DD HH:MM:SS.SSS'.
struct AddedColumn {
  const char* table;
  const char* column;
  const char* type;
  const char* fill = nullptr;  // what the rows already there get
};
constexpr AddedColumn kAddedColumns[] = {
    {"CENTRAL_ORDER", "DTQUEUED", "TEXT"},
    {"CENTRAL_ORDER", "DTLASTDOWNLOAD", "TEXT"},
    {"CENTRAL_ORDER", "DTRECEIVED", "TEXT"},
    {"CENTRAL_CANCEL", "DSREASON", "TEXT"},
    {"CENTRAL_CANCEL", "DTREQUESTED", "TEXT"},
    {"CENTRAL_CONSUMER", "NRTELECONS", "TEXT",
     "UPDATE CENTRAL_CONSUMER SET NRTELECONS = json_extract(DSVALUES, '$.NRTELECONS')"},
    {"CENTRAL_STORE_CALL", "IDTOKEN", "TEXT"},
};

constexpr const char* kNow = "strftime('%Y-%m-%d %H:%M:%f', 'now')";

// A road time as RFC 3339 text.
std::string Rfc3339(const std::string& column) {
  return "strftime('%Y-%m-%dT%H:%M:%fZ', " + column + ")";
}

std::optional<std::string> OptionalText(const Variant& value) {
  return value.IsEmptyOrNull() ? std::nullopt : std::optional<std::string>(value.AsText());
}

// An SQLite date modifier that moves a time back by the age.
std::string AgeModifier(double age_s) {
  char text[48];
  std::snprintf(text, sizeof text, "-%.3f seconds", age_s);
  return text;
}

// The parameters of a query narrowed to one store, or none.
std::vector<Variant> OnlyParams(const std::optional<StoreKey>& only) {
  if (!only) return {};
  return {Variant(only->branch), Variant(only->store)};
}

int Count(Database& db, const std::string& sql, const std::vector<Variant>& params) {
  const DataPacket result = db.Query(sql, params);
  return result.rows.empty() ? 0 : static_cast<int>(result.rows[0][0].AsInteger());
}

}  // namespace

SqliteHubStore::SqliteHubStore(const std::string& path) : db_(OpenDatabase("sqlite:" + path)) {
  db_->Execute(kSchema, {}, 0);
  for (const AddedColumn& added : kAddedColumns) {
    const DataPacket found = db_->Query(
        std::string("SELECT 1 FROM pragma_table_info('") + added.table + "') WHERE name = ?",
        {Variant(added.column)});
    if (found.rows.empty()) {
      db_->Execute(std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + " " +
                       added.type,
                   {});
      if (added.fill != nullptr) db_->Execute(added.fill, {});
    }
  }
  // A channel's order finds its customer by phone without reading every consumer.
  db_->Execute(
      "CREATE INDEX IF NOT EXISTS CENTRAL_CONSUMER_PHONE ON CENTRAL_CONSUMER (CDCLIENTE, "
      "NRTELECONS)",
      {});
}

int64_t SqliteHubStore::NextNumber(const std::string& counter) {
  const DataPacket current =
      db_->Query("SELECT NRVALUE FROM CENTRAL_COUNTER WHERE NMCOUNTER = ?", {Variant(counter)});
  int64_t value = 1;
  if (current.rows.empty()) {
    value = FirstNumber(counter);
    db_->Execute("INSERT INTO CENTRAL_COUNTER (NMCOUNTER, NRVALUE) VALUES (?, ?)",
                 {Variant(counter), Variant(value)});
  } else {
    value = current.rows[0][0].AsInteger() + 1;
    db_->Execute("UPDATE CENTRAL_COUNTER SET NRVALUE = ? WHERE NMCOUNTER = ?",
                 {Variant(value), Variant(counter)});
  }
  return value;
}

std::vector<ConsumerRecord> SqliteHubStore::Consumers() {
  std::vector<ConsumerRecord> consumers;
  for (const auto& row : db_->Query("SELECT CDCLIENTE, CDCONSUMIDOR, DSVALUES FROM "
                                    "CENTRAL_CONSUMER ORDER BY CDCLIENTE, CDCONSUMIDOR",
                                    {})
                             .rows) {
    consumers.push_back(ConsumerFromText(row[0].AsText(), row[1].AsText(), row[2].AsText()));
  }
  return consumers;
}

std::vector<ConsumerRecord> SqliteHubStore::ConsumersByPhone(const std::string& client,
                                                             const std::string& phone) {
  std::vector<ConsumerRecord> consumers;
  for (const auto& row : db_->Query("SELECT CDCONSUMIDOR, DSVALUES FROM CENTRAL_CONSUMER WHERE "
                                    "CDCLIENTE = ? AND NRTELECONS = ? ORDER BY CDCONSUMIDOR",
                                    {Variant(client), Variant(phone)})
                             .rows) {
    consumers.push_back(ConsumerFromText(client, row[0].AsText(), row[1].AsText()));
  }
  return consumers;
}

void SqliteHubStore::SaveConsumers(const std::vector<ConsumerRecord>& consumers) {
  for (const auto& consumer : consumers) {
    db_->Execute(
        "INSERT OR REPLACE INTO CENTRAL_CONSUMER (CDCLIENTE, CDCONSUMIDOR, DSVALUES, "
        "NRTELECONS) VALUES (?, ?, ?, ?)",
        {Variant(consumer.client), Variant(consumer.consumer),
         Variant(ConsumerValuesText(consumer)), ConsumerPhone(consumer)});
  }
}

void SqliteHubStore::AddOrder(const GeneratedOrder& order, DateTime now) {
  const auto value = [&order](const char* name) { return OrderSaleValue(order, name); };
  db_->Execute(
      "INSERT INTO CENTRAL_ORDER (CDFILIAL, CDLOJA, NRVENDAREST, CDCLIENTE, CDCONSUMIDOR, "
      "CDVENDEDOR, IDAGENDADO, STATE, DTCREATED, NRDOWNLOADS, DSPACKETS, DTQUEUED) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, 'PENDING', ?, 0, ?, " +
          std::string(kNow) + ")",
      {Variant(order.branch), Variant(order.store), Variant(order.sale), value("CDCLIENTE"),
       value("CDCONSUMIDOR"), value("CDVENDEDOR"), Variant(order.scheduled ? "S" : "N"),
       Variant(now.ToIso()), Variant(OrderPacketsText(order))});
}

std::vector<std::string> SqliteHubStore::CancelOrders(const std::string& branch,
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
    AddCancellation({branch, store, cancelled.back(), "PENDING", ""}, now);
  }
  return cancelled;
}

void SqliteHubStore::AddProductProblem(const std::string& branch, const std::string& product,
                                       const std::string& arvprod, const std::string& message) {
  db_->Execute(
      "INSERT OR REPLACE INTO CENTRAL_PRODUCT_PROBLEM (CDFILIAL, CDPRODUTO, CDARVPROD, "
      "DSMSGIMPOSTO) VALUES (?, ?, ?, ?)",
      {Variant(branch), Variant(product), Variant(arvprod), Variant(message)});
}

void SqliteHubStore::AddMessage(const std::string& method, const std::string& branch,
                                const std::string& store, const StoreMessage& message) {
  db_->Execute(
      "INSERT INTO CENTRAL_MESSAGE (DSMETODO, CDFILIAL, CDLOJA, DSMSG, IDERRO) "
      "VALUES (?, ?, ?, ?, ?)",
      {Variant(method), Variant(branch), Variant(store), Variant(message.text),
       Variant(message.as_error ? "S" : "N")});
}

std::optional<StoreMessage> SqliteHubStore::TakeMessage(const std::string& method,
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

std::vector<StoreCounts> SqliteHubStore::Status() {
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
    CountStore(counts, count);
    stores.push_back(counts);
  }
  return stores;
}

int SqliteHubStore::ProductProblemCount() {
  return Count(*db_, "SELECT COUNT(*) FROM CENTRAL_PRODUCT_PROBLEM", {});
}

std::vector<OrderDownload> SqliteHubStore::HandOutOrders(const std::string& branch,
                                                         const std::string& store, int limit) {
  const DataPacket found = db_->Query(
      "SELECT NRVENDAREST, DSPACKETS FROM CENTRAL_ORDER WHERE CDFILIAL = ? AND CDLOJA = ? AND "
      "STATE = 'PENDING' ORDER BY DTCREATED, NRVENDAREST LIMIT ?",
      {Variant(branch), Variant(store), Variant(limit)});
  std::vector<OrderDownload> orders;
  for (const auto& row : found.rows) {
    OrderDownload order{row[0].AsText(), OrderPacketsFromText(row[1].AsText())};
    db_->Execute("UPDATE CENTRAL_ORDER SET NRDOWNLOADS = NRDOWNLOADS + 1, DTLASTDOWNLOAD = " +
                     std::string(kNow) + " WHERE CDFILIAL = ? AND NRVENDAREST = ?",
                 {Variant(branch), row[0]});
    orders.push_back(std::move(order));
  }
  return orders;
}

std::vector<CancellationDownload> SqliteHubStore::PendingCancellations(const std::string& branch,
                                                                       const std::string& store) {
  const DataPacket found = db_->Query(
      "SELECT C.CDFILIAL, C.CDLOJA, C.NRVENDAREST, U.NRVENDAREST, O.CDCLIENTE, O.CDCONSUMIDOR, "
      "O.CDVENDEDOR FROM CENTRAL_CANCEL C JOIN CENTRAL_ORDER O ON O.CDFILIAL = C.CDFILIAL AND "
      "O.NRVENDAREST = C.NRVENDAREST JOIN CENTRAL_UPLOAD U ON U.CDFILIAL = C.CDFILIAL AND "
      "U.CDLOJA = C.CDLOJA AND U.NRVENDARESTAUX = C.NRVENDAREST WHERE C.STATE = 'PENDING' AND "
      "C.CDFILIAL = ? AND C.CDLOJA = ? ORDER BY C.DTCREATED, C.NRVENDAREST",
      {Variant(branch), Variant(store)});
  const auto optional_text = [](const Variant& value) {
    return value.IsEmptyOrNull() ? std::nullopt : std::optional<std::string>(value.AsText());
  };
  std::vector<CancellationDownload> cancellations;
  for (const auto& row : found.rows) {
    cancellations.push_back({row[0].AsText(), row[1].AsText(), row[2].AsText(), row[3].AsText(),
                             optional_text(row[4]), optional_text(row[5]), optional_text(row[6])});
  }
  return cancellations;
}

void SqliteHubStore::ConfirmOrder(const std::string& branch, const std::string& sale,
                                  DateTime now) {
  db_->Execute("UPDATE CENTRAL_ORDER SET STATE = 'CONFIRMED', DTCONFIRMED = ?, DTRECEIVED = " +
                   std::string(kNow) +
                   " WHERE CDFILIAL = ? AND NRVENDAREST = ? AND STATE = 'PENDING'",
               {Variant(now.ToIso()), Variant(branch), Variant(sale)});
}

void SqliteHubStore::ConfirmCancellation(const std::string& branch, const std::string& sale,
                                         DateTime now) {
  db_->Execute(
      "UPDATE CENTRAL_CANCEL SET STATE = 'CONFIRMED', DTCONFIRMED = ? WHERE CDFILIAL = ? AND "
      "NRVENDAREST = ? AND STATE = 'PENDING'",
      {Variant(now.ToIso()), Variant(branch), Variant(sale)});
}

std::optional<std::string> SqliteHubStore::UploadedCentralSale(const std::string& branch,
                                                               const std::string& store,
                                                               const std::string& local_sale) {
  const DataPacket found = db_->Query(
      "SELECT NRVENDARESTAUX FROM CENTRAL_UPLOAD WHERE CDFILIAL = ? AND CDLOJA = ? AND "
      "NRVENDAREST = ?",
      {Variant(branch), Variant(store), Variant(local_sale)});
  if (found.rows.empty()) return std::nullopt;
  return found.rows[0][0].AsText();
}

void SqliteHubStore::RecordUpload(const SaleUpload& upload, DateTime now) {
  db_->Execute(
      "INSERT INTO CENTRAL_UPLOAD (CDFILIAL, CDLOJA, NRVENDAREST, NRVENDARESTAUX, IDSTCOMANDA, "
      "SGSEXOCON, DTUPLOAD, NRUPLOADS) VALUES (?, ?, ?, ?, ?, ?, ?, 1) "
      "ON CONFLICT (CDFILIAL, CDLOJA, NRVENDAREST) DO UPDATE SET NRVENDARESTAUX = "
      "excluded.NRVENDARESTAUX, " +
          std::string(kUploadStatesUpdate) +
          ", DTUPLOAD = excluded.DTUPLOAD, NRUPLOADS = NRUPLOADS + 1",
      {Variant(upload.branch), Variant(upload.store), Variant(upload.local_sale),
       Variant(upload.central_sale), Variant(upload.tab_states), Variant(upload.answer),
       Variant(now.ToIso())});
}

void SqliteHubStore::RecordHistory(const HistoryKey& key, const std::string& row, DateTime now) {
  db_->Execute(
      "INSERT OR REPLACE INTO CENTRAL_HISTORY (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, "
      "NRSEQHISTPED, DSROW, DTRECEIVED) VALUES (?, ?, ?, ?, ?, ?, ?)",
      {Variant(key.branch), Variant(key.store), Variant(key.sale), Variant(key.tab),
       Variant(key.sequence), Variant(row), Variant(now.ToIso())});
}

std::vector<ProductProblem> SqliteHubStore::ProductProblems(const std::string& branch,
                                                            const std::string& product) {
  std::vector<ProductProblem> problems;
  for (const auto& row : db_->Query("SELECT CDARVPROD, DSMSGIMPOSTO FROM CENTRAL_PRODUCT_PROBLEM "
                                    "WHERE CDPRODUTO = ? AND CDFILIAL IN ('', ?) ORDER BY "
                                    "CDARVPROD",
                                    {Variant(product), Variant(branch)})
                             .rows) {
    problems.push_back({row[0].AsText(), row[1].AsText()});
  }
  return problems;
}

void SqliteHubStore::RecordCalls(const std::vector<StoreCall>& calls) {
  // A time is 'now' moved back by its age ("-1.250 seconds"); NULL stays NULL.
  const auto back = [](const std::optional<double>& age) {
    return age ? Variant(AgeModifier(*age)) : Variant::Null();
  };
  for (const StoreCall& call : calls) {
    db_->Execute(
        "INSERT INTO CENTRAL_STORE_CALL (CDFILIAL, CDLOJA, DSMETODO, DTLASTCALL, DTLASTSUCCESS, "
        "DTLASTFAILURE, DSLASTFAILURE, IDTOKEN) VALUES (?1, ?2, ?3, strftime('%Y-%m-%d %H:%M:%f', "
        "'now', ?4), strftime('%Y-%m-%d %H:%M:%f', 'now', ?5), strftime('%Y-%m-%d %H:%M:%f', "
        "'now', ?6), ?7, ?8) ON CONFLICT (CDFILIAL, CDLOJA, DSMETODO) DO UPDATE SET "
        "IDTOKEN = CASE WHEN excluded.DTLASTCALL >= DTLASTCALL THEN excluded.IDTOKEN "
        "ELSE IDTOKEN END, "
        "DTLASTCALL = max(DTLASTCALL, excluded.DTLASTCALL), "
        "DTLASTSUCCESS = max(coalesce(DTLASTSUCCESS, excluded.DTLASTSUCCESS), "
        "coalesce(excluded.DTLASTSUCCESS, DTLASTSUCCESS)), "
        "DTLASTFAILURE = max(coalesce(DTLASTFAILURE, excluded.DTLASTFAILURE), "
        "coalesce(excluded.DTLASTFAILURE, DTLASTFAILURE)), "
        "DSLASTFAILURE = CASE WHEN excluded.DTLASTFAILURE >= DTLASTFAILURE OR "
        "DTLASTFAILURE IS NULL THEN excluded.DSLASTFAILURE ELSE DSLASTFAILURE END",
        {Variant(call.branch), Variant(call.store), Variant(call.method),
         Variant(AgeModifier(call.call_age_s)), back(call.success_age_s), back(call.failure_age_s),
         call.failure_age_s ? Variant(call.failure) : Variant::Null(),
         Variant(call.without_token ? "N" : "S")});
  }
}

std::vector<StoreCallRecord> SqliteHubStore::StoreCalls() { return Calls(std::nullopt); }

std::vector<StoreCallRecord> SqliteHubStore::Calls(const std::optional<StoreKey>& only) {
  std::vector<StoreCallRecord> records;
  const auto age = [](const Variant& value) {
    return value.IsEmptyOrNull() ? std::nullopt : std::optional<double>(value.AsFloat());
  };
  for (const auto& row :
       db_->Query("SELECT CDFILIAL, CDLOJA, DSMETODO, "
                  "(julianday('now') - julianday(DTLASTCALL)) * 86400.0, "
                  "(julianday('now') - julianday(DTLASTSUCCESS)) * 86400.0, "
                  "(julianday('now') - julianday(DTLASTFAILURE)) * 86400.0, DSLASTFAILURE, "
                  "IDTOKEN FROM CENTRAL_STORE_CALL " +
                      std::string(only ? "WHERE CDFILIAL = ? AND CDLOJA = ? " : "") +
                      "ORDER BY CDFILIAL, CDLOJA, DSMETODO",
                  OnlyParams(only))
           .rows) {
    records.push_back({row[0].AsText(), row[1].AsText(), row[2].AsText(), row[3].AsFloat(),
                       age(row[4]), age(row[5]), row[6].AsText(), row[7].AsText() == "N"});
  }
  return records;
}

std::vector<StorePresence> SqliteHubStore::StorePresences(const std::optional<StoreKey>& only) {
  const std::string where = only ? " AND O.CDFILIAL = ? AND O.CDLOJA = ?" : "";
  std::vector<StoreRecord> registry;
  for (const auto& row :
       db_->Query("SELECT CDFILIAL, CDLOJA, NMLOJA, DSTIMEZONE FROM CENTRAL_STORE" +
                      std::string(only ? " WHERE CDFILIAL = ? AND CDLOJA = ?" : ""),
                  OnlyParams(only))
           .rows) {
    registry.push_back({row[0].AsText(), row[1].AsText(), row[2].AsText(), row[3].AsText()});
  }
  // An order counts as in the store's uploads when one names it as its central sale: looked
  // up once per order, however many counts ask it.
  const std::string unloaded = "O.UNLOADED";
  std::vector<StorePresence> orders;
  for (const auto& row :
       db_->Query(
              "SELECT O.CDFILIAL, O.CDLOJA, "
              "sum(O.STATE = 'PENDING' AND O.NRDOWNLOADS = 0), "
              "sum(O.STATE = 'PENDING' AND O.NRDOWNLOADS > 0), "
              "max(CASE WHEN O.STATE = 'PENDING' THEN (julianday('now') - julianday(O.DTQUEUED)) "
              "* 86400.0 END), "
              "sum(O.STATE = 'PENDING' AND O.NRDOWNLOADS >= " +
                  std::to_string(kStuckAfterDownloads) + " AND " + unloaded +
                  "), "
                  "sum(O.STATE = 'CONFIRMED' AND " +
                  unloaded + "), sum(O.STATE = 'CONFIRMED' AND " + unloaded +
                  " AND (julianday('now') - julianday(O.DTRECEIVED)) * 86400.0 > " +
                  std::to_string(kReconcileAfterSeconds) +
                  ") FROM (SELECT O.*, NOT EXISTS (SELECT 1 FROM CENTRAL_UPLOAD U WHERE U.CDFILIAL "
                  "= "
                  "O.CDFILIAL AND U.CDLOJA = O.CDLOJA AND U.NRVENDARESTAUX = O.NRVENDAREST) AS "
                  "UNLOADED FROM CENTRAL_ORDER O WHERE O.STATE IN ('PENDING', 'CONFIRMED')" +
                  where + ") O GROUP BY O.CDFILIAL, O.CDLOJA",
              OnlyParams(only))
           .rows) {
    StorePresence counted;
    counted.store.branch = row[0].AsText();
    counted.store.store = row[1].AsText();
    counted.queued = static_cast<int>(row[2].AsInteger());
    counted.handed_out = static_cast<int>(row[3].AsInteger());
    if (!row[4].IsEmptyOrNull()) counted.oldest_waiting_age_s = row[4].AsFloat();
    counted.stuck = static_cast<int>(row[5].AsInteger());
    counted.received = static_cast<int>(row[6].AsInteger());
    counted.needs_reconciliation = static_cast<int>(row[7].AsInteger());
    orders.push_back(std::move(counted));
  }
  return AssemblePresences(registry, Calls(only), orders);
}

void SqliteHubStore::SaveStore(const StoreRecord& store) {
  db_->Execute(
      "INSERT OR REPLACE INTO CENTRAL_STORE (CDFILIAL, CDLOJA, NMLOJA, DSTIMEZONE) "
      "VALUES (?, ?, ?, ?)",
      {Variant(store.branch), Variant(store.store), Variant(store.name), Variant(store.time_zone)});
}

std::optional<StoreRecord> SqliteHubStore::FindStore(const std::string& branch,
                                                     const std::string& store) {
  const DataPacket found =
      db_->Query("SELECT NMLOJA, DSTIMEZONE FROM CENTRAL_STORE WHERE CDFILIAL = ? AND CDLOJA = ?",
                 {Variant(branch), Variant(store)});
  if (found.rows.empty()) return std::nullopt;
  return StoreRecord{branch, store, found.rows[0][0].AsText(), found.rows[0][1].AsText()};
}

void SqliteHubStore::SaveBranchSettings(const BranchSettings& settings) {
  db_->Execute("INSERT OR REPLACE INTO CENTRAL_BRANCH (CDFILIAL, DSSETTINGS) VALUES (?, ?)",
               {Variant(settings.branch), Variant(BranchSettingsText(settings))});
}

std::optional<BranchSettings> SqliteHubStore::FindBranchSettings(const std::string& branch) {
  const DataPacket found =
      db_->Query("SELECT DSSETTINGS FROM CENTRAL_BRANCH WHERE CDFILIAL = ?", {Variant(branch)});
  if (found.rows.empty()) return std::nullopt;
  return BranchSettingsFromText(branch, found.rows[0][0].AsText());
}

void SqliteHubStore::AddApiKey(const ApiKeyRecord& key) {
  db_->Execute(
      "INSERT INTO CENTRAL_API_KEY (DSHASH, NMCHANNEL, IDSUPPORT, DSBRANCHES) VALUES (?, ?, ?, ?)",
      {Variant(key.hash), Variant(key.channel), Variant(key.support ? "S" : "N"),
       Variant(BranchesText(key.branches))});
}

std::optional<ApiKeyRecord> SqliteHubStore::FindApiKey(const std::string& hash) {
  const DataPacket found =
      db_->Query("SELECT NMCHANNEL, IDSUPPORT, DSBRANCHES FROM CENTRAL_API_KEY WHERE DSHASH = ?",
                 {Variant(hash)});
  if (found.rows.empty()) return std::nullopt;
  return ApiKeyRecord{hash, found.rows[0][0].AsText(), found.rows[0][1].AsText() == "S",
                      BranchesFromText(found.rows[0][2].AsText())};
}

std::optional<ChannelOrderRecord> SqliteHubStore::FindChannelOrder(const std::string& channel,
                                                                   const std::string& external_id) {
  const DataPacket found = db_->Query(
      "SELECT DSHASH, CDFILIAL, CDLOJA, NRVENDAREST FROM CENTRAL_CHANNEL_ORDER WHERE "
      "NMCHANNEL = ? AND DSEXTERNALID = ?",
      {Variant(channel), Variant(external_id)});
  if (found.rows.empty()) return std::nullopt;
  const auto& row = found.rows[0];
  return ChannelOrderRecord{channel,         external_id,     row[0].AsText(),
                            row[1].AsText(), row[2].AsText(), row[3].AsText()};
}

void SqliteHubStore::AddChannelOrder(const ChannelOrderRecord& order) {
  db_->Execute(
      "INSERT INTO CENTRAL_CHANNEL_ORDER (NMCHANNEL, DSEXTERNALID, DSHASH, CDFILIAL, CDLOJA, "
      "NRVENDAREST) VALUES (?, ?, ?, ?, ?, ?)",
      {Variant(order.channel), Variant(order.external_id), Variant(order.body_hash),
       Variant(order.branch), Variant(order.store), Variant(order.sale)});
}

std::optional<OrderRoadRecord> SqliteHubStore::FindOrderRoad(const std::string& sale) {
  const DataPacket found = db_->Query(
      "SELECT O.CDFILIAL, O.CDLOJA, O.STATE, O.NRDOWNLOADS, " + Rfc3339("O.DTQUEUED") + ", " +
          Rfc3339("O.DTLASTDOWNLOAD") + ", " + Rfc3339("O.DTRECEIVED") +
          ", (julianday('now') - julianday(O.DTRECEIVED)) * 86400.0, H.NMCHANNEL, "
          "H.DSEXTERNALID, U.NRVENDAREST, U.IDSTCOMANDA, U.SGSEXOCON, C.STATE, C.DSREASON, " +
          Rfc3339("C.DTREQUESTED") +
          ", O.DSPACKETS FROM CENTRAL_ORDER O LEFT JOIN CENTRAL_CHANNEL_ORDER H ON "
          "H.CDFILIAL = O.CDFILIAL AND H.NRVENDAREST = O.NRVENDAREST LEFT JOIN CENTRAL_UPLOAD U "
          "ON U.CDFILIAL = O.CDFILIAL AND U.CDLOJA = O.CDLOJA AND U.NRVENDARESTAUX = "
          "O.NRVENDAREST LEFT JOIN CENTRAL_CANCEL C ON C.CDFILIAL = O.CDFILIAL AND "
          "C.NRVENDAREST = O.NRVENDAREST WHERE O.NRVENDAREST = ? "
          "ORDER BY O.CDFILIAL, U.DTUPLOAD DESC LIMIT 1",
      {Variant(sale)});
  if (found.rows.empty()) return std::nullopt;
  const auto& row = found.rows[0];
  OrderRoadRecord road = OrderRoadFromCells(
      sale, [&row](int column) { return OptionalText(row[static_cast<std::size_t>(column)]); });
  if (road.local_sale) {
    for (const auto& history :
         db_->Query("SELECT DSROW FROM CENTRAL_HISTORY WHERE CDFILIAL = ? AND CDLOJA = ? AND "
                    "NRVENDAREST = ? ORDER BY NRCOMANDA, length(NRSEQHISTPED), NRSEQHISTPED",
                    {Variant(road.branch), Variant(road.store), Variant(*road.local_sale)})
             .rows) {
      road.history.push_back(history[0].AsText());
    }
  }
  return road;
}

bool SqliteHubStore::WithdrawOrder(const std::string& branch, const std::string& sale) {
  return db_->Execute(
             "UPDATE CENTRAL_ORDER SET STATE = 'WITHDRAWN' WHERE CDFILIAL = ? AND "
             "NRVENDAREST = ? AND STATE = 'PENDING'",
             {Variant(branch), Variant(sale)}) > 0;
}

void SqliteHubStore::AddCancellation(const CancellationRequest& cancellation, DateTime now) {
  db_->Execute(
      "INSERT INTO CENTRAL_CANCEL (CDFILIAL, CDLOJA, NRVENDAREST, STATE, DTCREATED, DSREASON, "
      "DTREQUESTED) VALUES (?, ?, ?, ?, ?, ?, " +
          std::string(kNow) + ")",
      {Variant(cancellation.branch), Variant(cancellation.store), Variant(cancellation.sale),
       Variant(cancellation.state), Variant(now.ToIso()), Variant(cancellation.reason)});
}

void SqliteHubStore::AddInstallationToken(const InstallationToken& token) {
  db_->Execute(
      "INSERT INTO CENTRAL_INSTALLATION_TOKEN (DSHASH, CDFILIAL, CDCAIXA, CDLOJA) "
      "VALUES (?, ?, ?, ?)",
      {Variant(token.hash), Variant(token.branch), Variant(token.cash_register),
       Variant(token.store)});
}

std::optional<InstallationToken> SqliteHubStore::FindInstallationToken(const std::string& hash) {
  const DataPacket found = db_->Query(
      "SELECT CDFILIAL, CDCAIXA, CDLOJA, DTREVOKED IS NOT NULL FROM CENTRAL_INSTALLATION_TOKEN "
      "WHERE DSHASH = ?",
      {Variant(hash)});
  if (found.rows.empty()) return std::nullopt;
  const auto& row = found.rows[0];
  return InstallationToken{hash, row[0].AsText(), row[1].AsText(), row[2].AsText(),
                           row[3].AsInteger() != 0};
}

int SqliteHubStore::RevokeInstallationTokens(const std::string& branch,
                                             const std::string& cash_register,
                                             const std::string& hash_prefix) {
  return static_cast<int>(db_->Execute(
      "UPDATE CENTRAL_INSTALLATION_TOKEN SET DTREVOKED = CURRENT_TIMESTAMP WHERE CDFILIAL = ? "
      "AND CDCAIXA = ? AND substr(DSHASH, 1, length(?3)) = ?3 AND DTREVOKED IS NULL",
      {Variant(branch), Variant(cash_register), Variant(hash_prefix)}));
}

}  // namespace zlv
