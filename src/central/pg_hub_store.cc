#include "central/pg_hub_store.h"

#include "central/hub_encoding.h"
#include "central/order_road.h"
#include "central/pg_hub_schema.h"
#include "database/database.h"

namespace zlv {

namespace {

PgParam Param(const Variant& value) {
  if (value.IsEmptyOrNull()) return std::nullopt;
  return value.AsText();
}

// The parameters of a query narrowed to one store, or none.
std::vector<PgParam> OnlyParams(const std::optional<StoreKey>& only) {
  if (!only) return {};
  return {only->branch, only->store};
}

// A road time as RFC 3339 text in UTC.
std::string Rfc3339(const std::string& column) {
  return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

}  // namespace

PgHubStore::PgHubStore(const std::string& uri) : connection_(uri) { MigrateHubSchema(connection_); }

void PgHubStore::Begin() {
  // Nothing is lost with a connection that went away between transactions (the server
  // restarted, the network dropped it): it is made again, once, before anything is done.
  try {
    connection_.Exec("BEGIN");
  } catch (const ConnectionLostError&) {
    connection_.Reconnect();
    connection_.Exec("BEGIN");
  }
}
void PgHubStore::Commit() { connection_.Exec("COMMIT"); }
void PgHubStore::Rollback() { connection_.Exec("ROLLBACK"); }

int64_t PgHubStore::NextNumber(const std::string& counter) {
  return connection_
      .Exec(
          "INSERT INTO CENTRAL_COUNTER (NMCOUNTER, NRVALUE) VALUES ($1, $2::bigint) "
          "ON CONFLICT (NMCOUNTER) DO UPDATE SET NRVALUE = CENTRAL_COUNTER.NRVALUE + 1 "
          "RETURNING NRVALUE",
          {counter, std::to_string(FirstNumber(counter))})
      .Integer(0, 0);
}

std::vector<ConsumerRecord> PgHubStore::Consumers() {
  const PgResult found = connection_.Exec(
      "SELECT CDCLIENTE, CDCONSUMIDOR, DSVALUES FROM CENTRAL_CONSUMER "
      "ORDER BY CDCLIENTE COLLATE \"C\", CDCONSUMIDOR COLLATE \"C\"");
  std::vector<ConsumerRecord> consumers;
  for (int r = 0; r < found.rows(); ++r) {
    consumers.push_back(ConsumerFromText(found.Text(r, 0), found.Text(r, 1), found.Text(r, 2)));
  }
  return consumers;
}

std::vector<ConsumerRecord> PgHubStore::ConsumersByPhone(const std::string& client,
                                                         const std::string& phone) {
  const PgResult found = connection_.Exec(
      "SELECT CDCONSUMIDOR, DSVALUES FROM CENTRAL_CONSUMER WHERE CDCLIENTE = $1 AND "
      "NRTELECONS = $2 ORDER BY CDCONSUMIDOR COLLATE \"C\"",
      {client, phone});
  std::vector<ConsumerRecord> consumers;
  for (int r = 0; r < found.rows(); ++r) {
    consumers.push_back(ConsumerFromText(client, found.Text(r, 0), found.Text(r, 1)));
  }
  return consumers;
}

void PgHubStore::SaveConsumers(const std::vector<ConsumerRecord>& consumers) {
  for (const auto& consumer : consumers) {
    connection_.Exec(
        "INSERT INTO CENTRAL_CONSUMER (CDCLIENTE, CDCONSUMIDOR, DSVALUES, NRTELECONS) "
        "VALUES ($1, $2, $3, $4) ON CONFLICT (CDCLIENTE, CDCONSUMIDOR) DO UPDATE SET "
        "DSVALUES = excluded.DSVALUES, NRTELECONS = excluded.NRTELECONS",
        {consumer.client, consumer.consumer, ConsumerValuesText(consumer),
         Param(ConsumerPhone(consumer))});
  }
}

void PgHubStore::AddOrder(const GeneratedOrder& order, DateTime now) {
  connection_.Exec(
      "INSERT INTO CENTRAL_ORDER (CDFILIAL, CDLOJA, NRVENDAREST, CDCLIENTE, CDCONSUMIDOR, "
      "CDVENDEDOR, IDAGENDADO, STATE, DTCREATED, NRDOWNLOADS, DSPACKETS, DTQUEUED) "
      "VALUES ($1, $2, $3, $4, $5, $6, $7, 'PENDING', $8, 0, $9, now())",
      {order.branch, order.store, order.sale, Param(OrderSaleValue(order, "CDCLIENTE")),
       Param(OrderSaleValue(order, "CDCONSUMIDOR")), Param(OrderSaleValue(order, "CDVENDEDOR")),
       std::string(order.scheduled ? "S" : "N"), now.ToIso(), OrderPacketsText(order)});
}

std::vector<std::string> PgHubStore::CancelOrders(const std::string& branch,
                                                  const std::string& store, int count,
                                                  DateTime now) {
  const PgResult found = connection_.Exec(
      "SELECT O.NRVENDAREST FROM CENTRAL_ORDER O WHERE O.CDFILIAL = $1 AND O.CDLOJA = $2 "
      "AND O.STATE = 'CONFIRMED' AND NOT EXISTS (SELECT 1 FROM CENTRAL_CANCEL C "
      "WHERE C.CDFILIAL = O.CDFILIAL AND C.NRVENDAREST = O.NRVENDAREST) "
      "ORDER BY O.DTCONFIRMED COLLATE \"C\" DESC NULLS LAST, O.NRVENDAREST COLLATE \"C\" DESC "
      "LIMIT $3::int",
      {branch, store, std::to_string(count)});
  std::vector<std::string> cancelled;
  for (int r = 0; r < found.rows(); ++r) {
    cancelled.push_back(found.Text(r, 0));
    AddCancellation({branch, store, cancelled.back(), "PENDING", ""}, now);
  }
  return cancelled;
}

void PgHubStore::AddProductProblem(const std::string& branch, const std::string& product,
                                   const std::string& arvprod, const std::string& message) {
  connection_.Exec(
      "INSERT INTO CENTRAL_PRODUCT_PROBLEM (CDFILIAL, CDPRODUTO, CDARVPROD, DSMSGIMPOSTO) "
      "VALUES ($1, $2, $3, $4) ON CONFLICT (CDFILIAL, CDPRODUTO, CDARVPROD) "
      "DO UPDATE SET DSMSGIMPOSTO = excluded.DSMSGIMPOSTO",
      {branch, product, arvprod, message});
}

void PgHubStore::AddMessage(const std::string& method, const std::string& branch,
                            const std::string& store, const StoreMessage& message) {
  connection_.Exec(
      "INSERT INTO CENTRAL_MESSAGE (DSMETODO, CDFILIAL, CDLOJA, DSMSG, IDERRO) "
      "VALUES ($1, $2, $3, $4, $5)",
      {method, branch, store, message.text, std::string(message.as_error ? "S" : "N")});
}

std::optional<StoreMessage> PgHubStore::TakeMessage(const std::string& method,
                                                    const std::string& branch,
                                                    const std::string& store) {
  // One statement: two processes never take the same message.
  const PgResult taken = connection_.Exec(
      "DELETE FROM CENTRAL_MESSAGE WHERE NRMESSAGE = (SELECT NRMESSAGE FROM CENTRAL_MESSAGE "
      "WHERE DSMETODO = $1 AND CDFILIAL IN ('', $2) AND CDLOJA IN ('', $3) "
      "ORDER BY NRMESSAGE LIMIT 1 FOR UPDATE SKIP LOCKED) RETURNING DSMSG, IDERRO",
      {method, branch, store});
  if (taken.rows() == 0) return std::nullopt;
  return StoreMessage{taken.Text(0, 0), taken.Text(0, 1) == "S"};
}

std::vector<StoreCounts> PgHubStore::Status() {
  const PgResult keys = connection_.Exec(
      "SELECT CDFILIAL, CDLOJA FROM (SELECT CDFILIAL, CDLOJA FROM CENTRAL_ORDER UNION "
      "SELECT CDFILIAL, CDLOJA FROM CENTRAL_UPLOAD UNION SELECT CDFILIAL, CDLOJA FROM "
      "CENTRAL_HISTORY) K ORDER BY CDFILIAL COLLATE \"C\", CDLOJA COLLATE \"C\"");
  std::vector<StoreCounts> stores;
  for (int k = 0; k < keys.rows(); ++k) {
    StoreCounts counts{keys.Text(k, 0), keys.Text(k, 1)};
    const auto count = [&](const std::string& table, const std::string& condition) {
      return static_cast<int>(connection_
                                  .Exec("SELECT COUNT(*) FROM " + table +
                                            " WHERE CDFILIAL = $1 AND CDLOJA = $2" +
                                            (condition.empty() ? "" : " AND " + condition),
                                        {counts.branch, counts.store})
                                  .Integer(0, 0));
    };
    CountStore(counts, count);
    stores.push_back(counts);
  }
  return stores;
}

int PgHubStore::ProductProblemCount() {
  return static_cast<int>(
      connection_.Exec("SELECT COUNT(*) FROM CENTRAL_PRODUCT_PROBLEM").Integer(0, 0));
}

std::vector<OrderDownload> PgHubStore::HandOutOrders(const std::string& branch,
                                                     const std::string& store, int limit) {
  const PgResult found = connection_.Exec(
      "WITH PICKED AS (SELECT CDFILIAL, NRVENDAREST FROM CENTRAL_ORDER WHERE CDFILIAL = $1 "
      "AND CDLOJA = $2 AND STATE = 'PENDING' ORDER BY DTCREATED COLLATE \"C\", "
      "NRVENDAREST COLLATE \"C\" LIMIT $3::int), "
      "COUNTED AS (UPDATE CENTRAL_ORDER O SET NRDOWNLOADS = O.NRDOWNLOADS + 1, "
      "DTLASTDOWNLOAD = now() FROM PICKED P "
      "WHERE O.CDFILIAL = P.CDFILIAL AND O.NRVENDAREST = P.NRVENDAREST AND O.STATE = 'PENDING' "
      "RETURNING O.NRVENDAREST, O.DSPACKETS, O.DTCREATED) "
      "SELECT NRVENDAREST, DSPACKETS FROM COUNTED "
      "ORDER BY DTCREATED COLLATE \"C\", NRVENDAREST COLLATE \"C\"",
      {branch, store, std::to_string(limit)});
  std::vector<OrderDownload> orders;
  for (int r = 0; r < found.rows(); ++r) {
    orders.push_back({found.Text(r, 0), OrderPacketsFromText(found.Text(r, 1))});
  }
  return orders;
}

std::vector<CancellationDownload> PgHubStore::PendingCancellations(const std::string& branch,
                                                                   const std::string& store) {
  const PgResult found = connection_.Exec(
      "SELECT C.CDFILIAL, C.CDLOJA, C.NRVENDAREST, U.NRVENDAREST, O.CDCLIENTE, O.CDCONSUMIDOR, "
      "O.CDVENDEDOR FROM CENTRAL_CANCEL C JOIN CENTRAL_ORDER O ON O.CDFILIAL = C.CDFILIAL AND "
      "O.NRVENDAREST = C.NRVENDAREST JOIN CENTRAL_UPLOAD U ON U.CDFILIAL = C.CDFILIAL AND "
      "U.CDLOJA = C.CDLOJA AND U.NRVENDARESTAUX = C.NRVENDAREST WHERE C.STATE = 'PENDING' AND "
      "C.CDFILIAL = $1 AND C.CDLOJA = $2 "
      "ORDER BY C.DTCREATED COLLATE \"C\", C.NRVENDAREST COLLATE \"C\"",
      {branch, store});
  std::vector<CancellationDownload> cancellations;
  for (int r = 0; r < found.rows(); ++r) {
    cancellations.push_back({found.Text(r, 0), found.Text(r, 1), found.Text(r, 2), found.Text(r, 3),
                             found.OptionalText(r, 4), found.OptionalText(r, 5),
                             found.OptionalText(r, 6)});
  }
  return cancellations;
}

void PgHubStore::ConfirmOrder(const std::string& branch, const std::string& sale, DateTime now) {
  connection_.Exec(
      "UPDATE CENTRAL_ORDER SET STATE = 'CONFIRMED', DTCONFIRMED = $1, DTRECEIVED = now() "
      "WHERE CDFILIAL = $2 AND NRVENDAREST = $3 AND STATE = 'PENDING'",
      {now.ToIso(), branch, sale});
}

void PgHubStore::ConfirmCancellation(const std::string& branch, const std::string& sale,
                                     DateTime now) {
  connection_.Exec(
      "UPDATE CENTRAL_CANCEL SET STATE = 'CONFIRMED', DTCONFIRMED = $1 WHERE CDFILIAL = $2 AND "
      "NRVENDAREST = $3 AND STATE = 'PENDING'",
      {now.ToIso(), branch, sale});
}

std::optional<std::string> PgHubStore::UploadedCentralSale(const std::string& branch,
                                                           const std::string& store,
                                                           const std::string& local_sale) {
  const PgResult found = connection_.Exec(
      "SELECT NRVENDARESTAUX FROM CENTRAL_UPLOAD WHERE CDFILIAL = $1 AND CDLOJA = $2 AND "
      "NRVENDAREST = $3",
      {branch, store, local_sale});
  if (found.rows() == 0) return std::nullopt;
  return found.Text(0, 0);
}

void PgHubStore::RecordUpload(const SaleUpload& upload, DateTime now) {
  connection_.Exec(
      "INSERT INTO CENTRAL_UPLOAD (CDFILIAL, CDLOJA, NRVENDAREST, NRVENDARESTAUX, IDSTCOMANDA, "
      "SGSEXOCON, DTUPLOAD, NRUPLOADS) VALUES ($1, $2, $3, $4, $5, $6, $7, 1) "
      "ON CONFLICT (CDFILIAL, CDLOJA, NRVENDAREST) DO UPDATE SET NRVENDARESTAUX = "
      "excluded.NRVENDARESTAUX, " +
          std::string(kUploadStatesUpdate) +
          ", DTUPLOAD = excluded.DTUPLOAD, "
          "NRUPLOADS = CENTRAL_UPLOAD.NRUPLOADS + 1",
      {upload.branch, upload.store, upload.local_sale, upload.central_sale, upload.tab_states,
       upload.answer, now.ToIso()});
}

void PgHubStore::RecordHistory(const HistoryKey& key, const std::string& row, DateTime now) {
  connection_.Exec(
      "INSERT INTO CENTRAL_HISTORY (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED, "
      "DSROW, DTRECEIVED) VALUES ($1, $2, $3, $4, $5, $6, $7) "
      "ON CONFLICT (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED) "
      "DO UPDATE SET DSROW = excluded.DSROW, DTRECEIVED = excluded.DTRECEIVED",
      {key.branch, key.store, key.sale, key.tab, key.sequence, row, now.ToIso()});
}

std::vector<ProductProblem> PgHubStore::ProductProblems(const std::string& branch,
                                                        const std::string& product) {
  const PgResult found = connection_.Exec(
      "SELECT CDARVPROD, DSMSGIMPOSTO FROM CENTRAL_PRODUCT_PROBLEM WHERE CDPRODUTO = $1 AND "
      "CDFILIAL IN ('', $2) ORDER BY CDARVPROD COLLATE \"C\"",
      {product, branch});
  std::vector<ProductProblem> problems;
  for (int r = 0; r < found.rows(); ++r) problems.push_back({found.Text(r, 0), found.Text(r, 1)});
  return problems;
}

void PgHubStore::RecordCalls(const std::vector<StoreCall>& calls) {
  const auto age = [](const std::optional<double>& seconds) -> PgParam {
    if (!seconds) return std::nullopt;
    return std::to_string(*seconds);
  };
  for (const StoreCall& call : calls) {
    connection_.Exec(
        "INSERT INTO CENTRAL_STORE_CALL AS K (CDFILIAL, CDLOJA, DSMETODO, DTLASTCALL, "
        "DTLASTSUCCESS, DTLASTFAILURE, DSLASTFAILURE, IDTOKEN) VALUES ($1, $2, $3, "
        "now() - make_interval(secs => $4::float8), now() - make_interval(secs => $5::float8), "
        "now() - make_interval(secs => $6::float8), $7, $8) "
        "ON CONFLICT (CDFILIAL, CDLOJA, DSMETODO) DO UPDATE SET "
        "IDTOKEN = CASE WHEN excluded.DTLASTCALL >= K.DTLASTCALL THEN excluded.IDTOKEN "
        "ELSE K.IDTOKEN END, "
        "DTLASTCALL = GREATEST(K.DTLASTCALL, excluded.DTLASTCALL), "
        "DTLASTSUCCESS = GREATEST(K.DTLASTSUCCESS, excluded.DTLASTSUCCESS), "
        "DTLASTFAILURE = GREATEST(K.DTLASTFAILURE, excluded.DTLASTFAILURE), "
        "DSLASTFAILURE = CASE WHEN excluded.DTLASTFAILURE >= K.DTLASTFAILURE OR "
        "K.DTLASTFAILURE IS NULL THEN excluded.DSLASTFAILURE ELSE K.DSLASTFAILURE END",
        {call.branch, call.store, call.method, age(call.call_age_s), age(call.success_age_s),
         age(call.failure_age_s), call.failure_age_s ? PgParam(call.failure) : std::nullopt,
         PgParam(call.without_token ? "N" : "S")});
  }
}

std::vector<StoreCallRecord> PgHubStore::StoreCalls() { return Calls(std::nullopt); }

std::vector<StoreCallRecord> PgHubStore::Calls(const std::optional<StoreKey>& only) {
  const PgResult found = connection_.Exec(
      "SELECT CDFILIAL, CDLOJA, DSMETODO, EXTRACT(EPOCH FROM now() - DTLASTCALL)::float8, "
      "EXTRACT(EPOCH FROM now() - DTLASTSUCCESS)::float8, "
      "EXTRACT(EPOCH FROM now() - DTLASTFAILURE)::float8, DSLASTFAILURE, IDTOKEN "
      "FROM CENTRAL_STORE_CALL " +
          std::string(only ? "WHERE CDFILIAL = $1 AND CDLOJA = $2 " : "") +
          "ORDER BY CDFILIAL COLLATE \"C\", CDLOJA COLLATE \"C\", DSMETODO COLLATE \"C\"",
      OnlyParams(only));
  const auto age = [&found](int row, int column) -> std::optional<double> {
    if (found.IsNull(row, column)) return std::nullopt;
    return std::stod(found.Text(row, column));
  };
  std::vector<StoreCallRecord> records;
  for (int r = 0; r < found.rows(); ++r) {
    records.push_back({found.Text(r, 0), found.Text(r, 1), found.Text(r, 2), *age(r, 3), age(r, 4),
                       age(r, 5), found.Text(r, 6), found.Text(r, 7) == "N"});
  }
  return records;
}

std::vector<StorePresence> PgHubStore::StorePresences(const std::optional<StoreKey>& only) {
  const PgResult stores =
      connection_.Exec("SELECT CDFILIAL, CDLOJA, NMLOJA, DSTIMEZONE FROM CENTRAL_STORE" +
                           std::string(only ? " WHERE CDFILIAL = $1 AND CDLOJA = $2" : ""),
                       OnlyParams(only));
  std::vector<StoreRecord> registry;
  for (int r = 0; r < stores.rows(); ++r) {
    registry.push_back(
        {stores.Text(r, 0), stores.Text(r, 1), stores.Text(r, 2), stores.Text(r, 3)});
  }
  // An order counts as in the store's uploads when one names it as its central sale: looked
  // up once per order, however many counts ask it.
  const std::string unloaded = "O.UNLOADED";
  const PgResult found = connection_.Exec(
      "SELECT O.CDFILIAL, O.CDLOJA, "
      "count(*) FILTER (WHERE O.STATE = 'PENDING' AND O.NRDOWNLOADS = 0), "
      "count(*) FILTER (WHERE O.STATE = 'PENDING' AND O.NRDOWNLOADS > 0), "
      "max(EXTRACT(EPOCH FROM now() - O.DTQUEUED)::float8) FILTER (WHERE O.STATE = 'PENDING'), "
      "count(*) FILTER (WHERE O.STATE = 'PENDING' AND O.NRDOWNLOADS >= " +
          std::to_string(kStuckAfterDownloads) + " AND " + unloaded +
          "), count(*) FILTER (WHERE O.STATE = 'CONFIRMED' AND " + unloaded +
          "), count(*) FILTER (WHERE O.STATE = 'CONFIRMED' AND " + unloaded +
          " AND EXTRACT(EPOCH FROM now() - O.DTRECEIVED) > " +
          std::to_string(kReconcileAfterSeconds) +
          ") FROM (SELECT O.*, NOT EXISTS (SELECT 1 FROM CENTRAL_UPLOAD U WHERE U.CDFILIAL = "
          "O.CDFILIAL AND U.CDLOJA = O.CDLOJA AND U.NRVENDARESTAUX = O.NRVENDAREST) AS UNLOADED "
          "FROM CENTRAL_ORDER O WHERE O.STATE IN ('PENDING', 'CONFIRMED')" +
          (only ? " AND O.CDFILIAL = $1 AND O.CDLOJA = $2" : "") +
          ") O GROUP BY O.CDFILIAL, O.CDLOJA",
      OnlyParams(only));
  std::vector<StorePresence> orders;
  for (int r = 0; r < found.rows(); ++r) {
    StorePresence counted;
    counted.store.branch = found.Text(r, 0);
    counted.store.store = found.Text(r, 1);
    counted.queued = static_cast<int>(found.Integer(r, 2));
    counted.handed_out = static_cast<int>(found.Integer(r, 3));
    if (!found.IsNull(r, 4)) counted.oldest_waiting_age_s = std::stod(found.Text(r, 4));
    counted.stuck = static_cast<int>(found.Integer(r, 5));
    counted.received = static_cast<int>(found.Integer(r, 6));
    counted.needs_reconciliation = static_cast<int>(found.Integer(r, 7));
    orders.push_back(std::move(counted));
  }
  return AssemblePresences(registry, Calls(only), orders);
}

void PgHubStore::SaveStore(const StoreRecord& store) {
  connection_.Exec(
      "INSERT INTO CENTRAL_STORE (CDFILIAL, CDLOJA, NMLOJA, DSTIMEZONE) VALUES ($1, $2, $3, $4) "
      "ON CONFLICT (CDFILIAL, CDLOJA) DO UPDATE SET NMLOJA = excluded.NMLOJA, "
      "DSTIMEZONE = excluded.DSTIMEZONE",
      {store.branch, store.store, store.name, store.time_zone});
}

std::optional<StoreRecord> PgHubStore::FindStore(const std::string& branch,
                                                 const std::string& store) {
  const PgResult found = connection_.Exec(
      "SELECT NMLOJA, DSTIMEZONE FROM CENTRAL_STORE WHERE CDFILIAL = $1 AND CDLOJA = $2",
      {branch, store});
  if (found.rows() == 0) return std::nullopt;
  return StoreRecord{branch, store, found.Text(0, 0), found.Text(0, 1)};
}

void PgHubStore::SaveBranchSettings(const BranchSettings& settings) {
  connection_.Exec(
      "INSERT INTO CENTRAL_BRANCH (CDFILIAL, DSSETTINGS) VALUES ($1, $2) "
      "ON CONFLICT (CDFILIAL) DO UPDATE SET DSSETTINGS = excluded.DSSETTINGS",
      {settings.branch, BranchSettingsText(settings)});
}

std::optional<BranchSettings> PgHubStore::FindBranchSettings(const std::string& branch) {
  const PgResult found =
      connection_.Exec("SELECT DSSETTINGS FROM CENTRAL_BRANCH WHERE CDFILIAL = $1", {branch});
  if (found.rows() == 0) return std::nullopt;
  return BranchSettingsFromText(branch, found.Text(0, 0));
}

void PgHubStore::AddApiKey(const ApiKeyRecord& key) {
  connection_.Exec(
      "INSERT INTO CENTRAL_API_KEY (DSHASH, NMCHANNEL, IDSUPPORT, DSBRANCHES) "
      "VALUES ($1, $2, $3, $4)",
      {key.hash, key.channel, std::string(key.support ? "S" : "N"), BranchesText(key.branches)});
}

std::optional<ApiKeyRecord> PgHubStore::FindApiKey(const std::string& hash) {
  const PgResult found = connection_.Exec(
      "SELECT NMCHANNEL, IDSUPPORT, DSBRANCHES FROM CENTRAL_API_KEY WHERE DSHASH = $1", {hash});
  if (found.rows() == 0) return std::nullopt;
  return ApiKeyRecord{hash, found.Text(0, 0), found.Text(0, 1) == "S",
                      BranchesFromText(found.Text(0, 2))};
}

std::optional<ChannelOrderRecord> PgHubStore::FindChannelOrder(const std::string& channel,
                                                               const std::string& external_id) {
  const PgResult found = connection_.Exec(
      "SELECT DSHASH, CDFILIAL, CDLOJA, NRVENDAREST FROM CENTRAL_CHANNEL_ORDER WHERE "
      "NMCHANNEL = $1 AND DSEXTERNALID = $2",
      {channel, external_id});
  if (found.rows() == 0) return std::nullopt;
  return ChannelOrderRecord{channel,          external_id,      found.Text(0, 0),
                            found.Text(0, 1), found.Text(0, 2), found.Text(0, 3)};
}

void PgHubStore::AddChannelOrder(const ChannelOrderRecord& order) {
  connection_.Exec(
      "INSERT INTO CENTRAL_CHANNEL_ORDER (NMCHANNEL, DSEXTERNALID, DSHASH, CDFILIAL, CDLOJA, "
      "NRVENDAREST) VALUES ($1, $2, $3, $4, $5, $6)",
      {order.channel, order.external_id, order.body_hash, order.branch, order.store, order.sale});
}

std::optional<OrderRoadRecord> PgHubStore::FindOrderRoad(const std::string& sale) {
  const PgResult found = connection_.Exec(
      "SELECT O.CDFILIAL, O.CDLOJA, O.STATE, O.NRDOWNLOADS, " + Rfc3339("O.DTQUEUED") + ", " +
          Rfc3339("O.DTLASTDOWNLOAD") + ", " + Rfc3339("O.DTRECEIVED") +
          ", EXTRACT(EPOCH FROM now() - O.DTRECEIVED)::float8, H.NMCHANNEL, H.DSEXTERNALID, "
          "U.NRVENDAREST, U.IDSTCOMANDA, U.SGSEXOCON, C.STATE, C.DSREASON, " +
          Rfc3339("C.DTREQUESTED") +
          ", O.DSPACKETS FROM CENTRAL_ORDER O LEFT JOIN CENTRAL_CHANNEL_ORDER H ON "
          "H.CDFILIAL = O.CDFILIAL AND H.NRVENDAREST = O.NRVENDAREST LEFT JOIN CENTRAL_UPLOAD U "
          "ON U.CDFILIAL = O.CDFILIAL AND U.CDLOJA = O.CDLOJA AND U.NRVENDARESTAUX = "
          "O.NRVENDAREST LEFT JOIN CENTRAL_CANCEL C ON C.CDFILIAL = O.CDFILIAL AND "
          "C.NRVENDAREST = O.NRVENDAREST WHERE O.NRVENDAREST = $1 "
          "ORDER BY O.CDFILIAL COLLATE \"C\", U.DTUPLOAD COLLATE \"C\" DESC NULLS LAST LIMIT 1",
      {sale});
  if (found.rows() == 0) return std::nullopt;
  OrderRoadRecord road =
      OrderRoadFromCells(sale, [&found](int column) { return found.OptionalText(0, column); });
  if (road.local_sale) {
    const PgResult history = connection_.Exec(
        "SELECT DSROW FROM CENTRAL_HISTORY WHERE CDFILIAL = $1 AND CDLOJA = $2 AND "
        "NRVENDAREST = $3 ORDER BY NRCOMANDA COLLATE \"C\", length(NRSEQHISTPED), "
        "NRSEQHISTPED COLLATE \"C\"",
        {road.branch, road.store, *road.local_sale});
    for (int r = 0; r < history.rows(); ++r) road.history.push_back(history.Text(r, 0));
  }
  return road;
}

bool PgHubStore::WithdrawOrder(const std::string& branch, const std::string& sale) {
  return connection_
             .Exec(
                 "UPDATE CENTRAL_ORDER SET STATE = 'WITHDRAWN' WHERE CDFILIAL = $1 AND "
                 "NRVENDAREST = $2 AND STATE = 'PENDING' RETURNING 1",
                 {branch, sale})
             .rows() > 0;
}

void PgHubStore::AddCancellation(const CancellationRequest& cancellation, DateTime now) {
  connection_.Exec(
      "INSERT INTO CENTRAL_CANCEL (CDFILIAL, CDLOJA, NRVENDAREST, STATE, DTCREATED, DSREASON, "
      "DTREQUESTED) VALUES ($1, $2, $3, $4, $5, $6, now())",
      {cancellation.branch, cancellation.store, cancellation.sale, cancellation.state, now.ToIso(),
       cancellation.reason});
}

void PgHubStore::AddInstallationToken(const InstallationToken& token) {
  connection_.Exec(
      "INSERT INTO CENTRAL_INSTALLATION_TOKEN (DSHASH, CDFILIAL, CDCAIXA, CDLOJA) "
      "VALUES ($1, $2, $3, $4)",
      {token.hash, token.branch, token.cash_register, token.store});
}

std::optional<InstallationToken> PgHubStore::FindInstallationToken(const std::string& hash) {
  const PgResult found = connection_.Exec(
      "SELECT CDFILIAL, CDCAIXA, CDLOJA, DTREVOKED IS NOT NULL FROM CENTRAL_INSTALLATION_TOKEN "
      "WHERE DSHASH = $1",
      {hash});
  if (found.rows() == 0) return std::nullopt;
  return InstallationToken{hash, found.Text(0, 0), found.Text(0, 1), found.Text(0, 2),
                           found.Text(0, 3) == "t"};
}

int PgHubStore::RevokeInstallationTokens(const std::string& branch,
                                         const std::string& cash_register,
                                         const std::string& hash_prefix) {
  return connection_
      .Exec(
          "UPDATE CENTRAL_INSTALLATION_TOKEN SET DTREVOKED = now() WHERE CDFILIAL = $1 AND "
          "CDCAIXA = $2 AND substr(DSHASH, 1, length($3)) = $3 AND DTREVOKED IS NULL "
          "RETURNING 1",
          {branch, cash_register, hash_prefix})
      .rows();
}

}  // namespace zlv
