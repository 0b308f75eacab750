#include "central/central_methods.h"

#include <functional>
#include <map>
#include <optional>

#include "central/order_layouts.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

namespace zlv {

namespace {

[[noreturn]] void Invalid(const std::string& method, const std::string& what) {
  throw BadRequest(rpc_code::kInvalidParams, method + ": " + what);
}

void ExpectCount(const std::string& method, const std::vector<Variant>& args, std::size_t count,
                 const char* what) {
  if (args.size() != count) {
    Invalid(method, "expected " + std::to_string(count) + " " + what + ", got " +
                        std::to_string(args.size()));
  }
}

std::string TextArg(const std::string& method, const std::vector<Variant>& args, std::size_t at) {
  const Variant& arg = args.at(at);
  if (!arg.IsText() && !arg.IsEmptyOrNull()) {
    Invalid(method, "argument " + std::to_string(at + 1) + " must be a text");
  }
  return arg.AsText();
}

// A packet argument; null stands for an empty packet.
DataPacket PacketArg(const std::string& method, const std::vector<Variant>& args, std::size_t at) {
  const Variant& arg = args.at(at);
  if (arg.IsEmptyOrNull()) return DataPacket{};
  if (!arg.IsPacket())
    Invalid(method, "argument " + std::to_string(at + 1) + " must be a data packet");
  return arg.AsPacket();
}

// Reads named cells of packet rows; the columns must exist when there are rows.
class Rows {
 public:
  Rows(const std::string& method, const DataPacket& packet, std::vector<std::string> names)
      : packet_(packet) {
    for (const auto& name : names) {
      const int at = packet.FieldIndex(name);
      if (at < 0 && !packet.rows.empty()) Invalid(method, "rows lack the column " + name);
      index_[name] = at;
    }
  }
  std::string Text(std::size_t row, const std::string& name) const {
    return packet_.rows[row][static_cast<std::size_t>(index_.at(name))].AsText();
  }
  std::size_t size() const { return packet_.rows.size(); }

 private:
  const DataPacket& packet_;
  std::map<std::string, int> index_;
};

Variant BaixaPedidos(HubStore& store, const std::vector<Variant>& params) {
  const std::string m = "BaixaPedidos";
  ExpectCount(m, params, 2, "arguments");
  const std::string branch = TextArg(m, params, 0), shop = TextArg(m, params, 1);
  const std::vector<OrderDownload> orders =
      store.HandOutOrders(branch, shop, kMaxOrdersPerDownload);
  const std::vector<CancellationDownload> cancels = store.PendingCancellations(branch, shop);
  if (orders.empty() && cancels.empty()) return Variant();

  std::vector<std::vector<DataPacket>> per_set(kDownloadSetCount);
  for (const OrderDownload& order : orders) {
    for (int set = 0; set < kDownloadSetCount && set < static_cast<int>(order.sets.size()); ++set) {
      per_set[set].push_back(order.sets[static_cast<std::size_t>(set)]);
    }
  }
  const auto optional_text = [](const std::optional<std::string>& text) {
    return text ? Variant(*text) : Variant::Null();
  };
  std::vector<std::vector<Variant>> cancel_rows;
  for (const CancellationDownload& c : cancels) {
    cancel_rows.push_back({Variant(c.branch), Variant(c.store), Variant(c.sale),
                           Variant(c.local_sale), optional_text(c.client),
                           optional_text(c.consumer), optional_text(c.seller)});
  }
  const StoreSchema no_schema;
  std::vector<Variant> result;
  for (int set = 0; set < kDownloadSetCount; ++set) {
    if (set == kPedidosCanc) {
      result.emplace_back(DataPacket{DownloadFields(set, no_schema), cancel_rows});
    } else if (per_set[set].empty()) {
      result.emplace_back(DataPacket{DownloadFields(set, no_schema), {}});
    } else {
      result.emplace_back(MergePackets(per_set[set]));
    }
  }
  return Variant(std::move(result));
}

Variant UpdateSincronismo(HubStore& store, const std::vector<Variant>& params, DateTime now) {
  const std::string m = "UpdateSincronismo";
  ExpectCount(m, params, 2, "arguments");
  const DataPacket orders = PacketArg(m, params, 0), cancels = PacketArg(m, params, 1);
  const Rows order_rows(m, orders, {"CDFILIAL", "NRVENDAREST"});
  const Rows cancel_rows(m, cancels, {"CDFILIAL", "NRVENDAREST"});
  for (std::size_t r = 0; r < order_rows.size(); ++r) {
    store.ConfirmOrder(order_rows.Text(r, "CDFILIAL"), order_rows.Text(r, "NRVENDAREST"), now);
  }
  for (std::size_t r = 0; r < cancel_rows.size(); ++r) {
    store.ConfirmCancellation(cancel_rows.Text(r, "CDFILIAL"), cancel_rows.Text(r, "NRVENDAREST"),
                              now);
  }
  return Variant();
}

Variant AtualizaPedidos(HubStore& store, const std::vector<Variant>& params, DateTime now) {
  const std::string m = "AtualizaPedidos";
  ExpectCount(m, params, 1, "argument (the array of 7)");
  if (!params[0].IsArray()) Invalid(m, "the argument must be an array");
  const auto& slots = params[0].AsArray();
  ExpectCount(m, slots, 7, "slots");
  for (std::size_t i = 0; i < 5; ++i) PacketArg(m, slots, i);
  const std::string branch = TextArg(m, slots, 5), shop = TextArg(m, slots, 6);
  const DataPacket sales = PacketArg(m, slots, 0), tabs = PacketArg(m, slots, 1);
  const Rows sale_rows(m, sales, {"NRVENDAREST", "NRVENDARESTAUX"});
  const Rows tab_rows(m, tabs, {"NRVENDAREST", "IDSTCOMANDA"});
  std::multimap<std::string, std::string> states;  // local sale -> order tab status
  for (std::size_t r = 0; r < tab_rows.size(); ++r) {
    states.emplace(tab_rows.Text(r, "NRVENDAREST"), tab_rows.Text(r, "IDSTCOMANDA"));
  }
  DataPacket answer = RetComandaVenPacket();
  for (std::size_t r = 0; r < sale_rows.size(); ++r) {
    const std::string local = sale_rows.Text(r, "NRVENDAREST");
    std::string central = sale_rows.Text(r, "NRVENDARESTAUX");
    if (central.empty()) central = store.UploadedCentralSale(branch, shop, local).value_or("");
    if (central.empty()) central = std::to_string(store.NextNumber("NRVENDAREST"));
    const auto [first, last] = states.equal_range(local);
    std::string statuses;
    bool finished = first != last;
    for (auto it = first; it != last; ++it) {
      statuses += (statuses.empty() ? "" : ",") + it->second;
      finished = finished && (it->second == "X" || it->second == "5" || it->second == "4");
    }
    const std::string code = finished ? "D" : "S";
    store.RecordUpload({branch, shop, local, central, statuses, code}, now);
    answer.rows.push_back({Variant(local), Variant(central), Variant(code)});
  }
  return Variant(std::vector<Variant>{Variant::Null(), Variant(std::move(answer))});
}

Variant AtualizaHistPedCons(HubStore& store, const std::vector<Variant>& params, DateTime now) {
  const std::string m = "AtualizaHistPedCons";
  ExpectCount(m, params, 1, "argument (the array of 2)");
  if (!params[0].IsArray()) Invalid(m, "the argument must be an array");
  const auto& slots = params[0].AsArray();
  ExpectCount(m, slots, 2, "slots");
  const DataPacket history = PacketArg(m, slots, 0);
  PacketArg(m, slots, 1);
  const std::vector<std::string> key = {"CDFILIAL", "CDLOJA", "NRVENDAREST", "NRCOMANDA",
                                        "NRSEQHISTPED"};
  const Rows rows(m, history, key);
  DataPacket answer = HistPedConsRetPacket();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<Variant> values;
    for (const auto& name : key) values.emplace_back(rows.Text(r, name));
    bool complete = true;
    for (const auto& value : values) complete = complete && !value.AsText().empty();
    if (!complete) continue;
    nlohmann::json row = nlohmann::json::object();
    for (std::size_t c = 0; c < history.fields.size(); ++c) {
      row[history.fields[c].name] = VariantToJson(history.rows[r][c]);
    }
    store.RecordHistory({values[0].AsText(), values[1].AsText(), values[2].AsText(),
                         values[3].AsText(), values[4].AsText()},
                        DumpJsonText(row), now);
    answer.rows.push_back(std::move(values));
  }
  return Variant(std::move(answer));
}

Variant ValidaProduto(HubStore& store, const std::vector<Variant>& params) {
  const std::string m = "ValidaProduto";
  ExpectCount(m, params, 4, "arguments");
  const std::string branch = TextArg(m, params, 0), product = TextArg(m, params, 3);
  TextArg(m, params, 1);
  TextArg(m, params, 2);
  DataPacket answer = ValidaProdutoPacket();
  for (const ProductProblem& problem : store.ProductProblems(branch, product)) {
    answer.rows.push_back({Variant(problem.arvprod), Variant(problem.message)});
  }
  return Variant(std::move(answer));
}

// A message set up for this call (tests and demos of the store's handling of server
// messages).
std::optional<StoreMessage> ScriptedMessage(HubStore& store, const std::string& method,
                                            const std::vector<Variant>& params) {
  const CallStore named = StoreNamedBy(method, params);
  return store.TakeMessage(method, named.branch, named.store);
}

using Method = std::function<Variant(HubStore&, const std::vector<Variant>&, DateTime)>;

const std::map<std::string, Method>& Methods() {
  static const std::map<std::string, Method> kMethods = {
      {"BaixaPedidos", [](HubStore& s, const auto& p, DateTime) { return BaixaPedidos(s, p); }},
      {"UpdateSincronismo", UpdateSincronismo},
      {"AtualizaPedidos", AtualizaPedidos},
      {"AtualizaHistPedCons", AtualizaHistPedCons},
      {"ValidaProduto", [](HubStore& s, const auto& p, DateTime) { return ValidaProduto(s, p); }},
  };
  return kMethods;
}

}  // namespace

bool IsCentralMethod(const std::string& method) { return Methods().count(method) > 0; }

CallStore StoreNamedBy(const std::string& method, const std::vector<Variant>& params) {
  const auto text_at = [](const std::vector<Variant>& args, std::size_t at) {
    return at < args.size() && args[at].IsText() ? args[at].AsText() : std::string();
  };
  if (method == "BaixaPedidos") return {text_at(params, 0), text_at(params, 1)};
  if (method == "ValidaProduto") return {text_at(params, 0), text_at(params, 2)};
  if (method == "AtualizaPedidos" && !params.empty() && params[0].IsArray()) {
    return {text_at(params[0].AsArray(), 5), text_at(params[0].AsArray(), 6)};
  }
  return {};
}

Variant CallCentralMethod(HubStore& store, const std::string& method,
                          const std::vector<Variant>& params, DateTime now) {
  const auto found = Methods().find(method);
  if (found == Methods().end()) {
    throw BadRequest(rpc_code::kMethodNotFound, "unknown method " + CutText(method));
  }
  HubTransaction transaction(store);
  if (const auto message = ScriptedMessage(store, method, params)) {
    transaction.Commit();
    if (message->as_error) throw std::runtime_error(message->text);
    return Variant(message->text);
  }
  Variant result = found->second(store, params, now);
  transaction.Commit();
  return result;
}

}  // namespace zlv
