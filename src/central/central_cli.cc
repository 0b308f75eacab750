#include "central/central_cli.h"

#include <chrono>
#include <cmath>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <stdexcept>

#include "bizlib/clock.h"
#include "central/api_key.h"
#include "central/central_server.h"
#include "central/channel_order_maker.h"
#include "central/hub_api.h"
#include "central/hub_client.h"
#include "central/master_data.h"
#include "central/open_hub_store.h"
#include "central/order_generator.h"
#include "central/store_schema.h"
#include "central/store_times.h"
#include "central/support_page.h"
#include "central/time_zone.h"
#include "database/database.h"

#ifndef ZLV_DEFAULT_DB_DIR
#define ZLV_DEFAULT_DB_DIR "db"
#endif

namespace zlv {

namespace {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr const char* kUsage =
    "usage: zlvsinc-central serve --db DB [--port N|off] [--bind ADDRESS] [--verbose]\n"
    "                       [--require-tokens]\n"
    "                       [--idle-timeout-ms N] [--request-timeout-ms N] [--max-connections N]\n"
    "                       [--http-port N [--tls-cert FILE --tls-key FILE]]\n"
    "                       [--store-schema FILE] [--call-write-interval-ms N]\n"
    "       zlvsinc-central add-orders --db DB --branch B --store S --count N [--seed N]\n"
    "                       [--scheduled K] [--cancel K]\n"
    "                       [--store-db FILE | --schema FILE --seed-sql FILE]\n"
    "       zlvsinc-central post-orders --url http[s]://HOST:PORT --key KEY --branch B --store S\n"
    "                       --count N [--seed N] [--scheduled K] [--ca-file PEM]\n"
    "                       [--store-db FILE | --schema FILE --seed-sql FILE]\n"
    "       zlvsinc-central migrate --db DB\n"
    "       zlvsinc-central status --db DB\n"
    "       zlvsinc-central add-product-problem --db DB --product P --arvprod A --message M\n"
    "                       [--branch B]\n"
    "       zlvsinc-central add-message --db DB --method NAME --text T [--branch B]\n"
    "                       [--store S] [--error]\n"
    "       zlvsinc-central add-store --db DB --branch B --store S --name N --time-zone TZ\n"
    "       zlvsinc-central set-branch --db DB --branch B [--client C] [--seller V]\n"
    "                       [--operator O] [--origin CODE] [--receipt-cash R] [--receipt-card R]\n"
    "                       [--receipt-voucher R] [--receipt-online R] [--country CODE]\n"
    "                       [--state UF] [--municipality CODE]\n"
    "       zlvsinc-central add-api-key --db DB (--channel NAME --branch B [--branch B ...]\n"
    "                       | --support)\n"
    "       zlvsinc-central add-installation --db DB --branch B --register C [--store S]\n"
    "       zlvsinc-central revoke-installation --db DB --branch B --register C --token-id ID\n"
    "DB: an SQLite file, or a PostgreSQL URI postgresql://[USER@]HOST[:PORT]/NAME\n";

class Options {
 public:
  Options(const std::vector<std::string>& args, const std::set<std::string>& allowed,
          const std::set<std::string>& flags) {
    for (std::size_t i = 1; i < args.size(); ++i) {
      const std::string& name = args[i];
      if (name.rfind("--", 0) != 0 || (!allowed.count(name) && !flags.count(name))) {
        throw UsageError("unknown option " + name);
      }
      if (flags.count(name)) {
        values_[name].push_back("1");
      } else if (i + 1 < args.size()) {
        values_[name].push_back(args[++i]);
      } else {
        throw UsageError(name + " needs a value");
      }
    }
  }
  // The option's value (the last, when it is given more than once).
  std::string Get(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) throw UsageError(name + " is required");
    return it->second.back();
  }
  std::string Get(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second.back();
  }
  // Every value of an option that may be given more than once.
  std::vector<std::string> All(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
  }
  int Number(const std::string& name, int fallback) const {
    const std::string text = Get(name, std::to_string(fallback));
    try {
      std::size_t used = 0;
      const int value = std::stoi(text, &used);
      if (used == text.size() && value >= 0) return value;
    } catch (const std::exception&) {
    }
    throw UsageError(name + " must be a whole number, not \"" + text + "\"");
  }
  bool Has(const std::string& name) const { return values_.count(name) > 0; }

 private:
  std::map<std::string, std::vector<std::string>> values_;
};

int Serve(const Options& options, std::ostream& out, std::ostream& err) {
  std::optional<TlsFiles> tls;
  if (options.Has("--tls-cert") || options.Has("--tls-key")) {
    if (!options.Has("--tls-cert") || !options.Has("--tls-key")) {
      throw UsageError("--tls-cert and --tls-key go together");
    }
    if (!options.Has("--http-port")) throw UsageError("--tls-cert and --tls-key need --http-port");
    tls = TlsFiles{options.Get("--tls-cert"), options.Get("--tls-key")};
  }
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  SystemClock clock;
  const std::string bind = options.Get("--bind", "127.0.0.1");
  CentralServer::LogSink log;
  if (options.Has("--verbose")) log = [&err](const std::string& line) { err << line << std::endl; };
  CentralServerLimits limits;
  limits.idle_timeout = std::chrono::milliseconds(
      options.Number("--idle-timeout-ms", static_cast<int>(limits.idle_timeout.count())));
  limits.request_timeout = std::chrono::milliseconds(
      options.Number("--request-timeout-ms", static_cast<int>(limits.request_timeout.count())));
  limits.max_connections = options.Number("--max-connections", limits.max_connections);
  limits.call_write_interval = std::chrono::milliseconds(options.Number(
      "--call-write-interval-ms", static_cast<int>(limits.call_write_interval.count())));
  if (limits.idle_timeout.count() == 0 || limits.request_timeout.count() == 0 ||
      limits.max_connections == 0 || limits.call_write_interval.count() == 0) {
    throw UsageError("time-outs, intervals and --max-connections must be above 0");
  }
  limits.require_tokens = options.Has("--require-tokens");
  // "--port off": the store protocol only over HTTP(S), on /rpc.
  const bool framed = options.Get("--port", "0") != "off";
  if (!framed && !options.Has("--http-port")) {
    throw UsageError("--port off needs --http-port: the stores must reach the hub somewhere");
  }
  CentralServer server(*store, clock, bind, framed ? options.Number("--port", 0) : -1, log, limits);
  // Both listeners are set up before the first line is printed: a script that waits for it
  // never takes a server that failed to start for a ready one.
  std::unique_ptr<HubApi> api;
  int http_port = 0;
  if (options.Has("--http-port")) {
    api = std::make_unique<HubApi>(*store,
                                   StoreSchema::FromScript(options.Get(
                                       "--store-schema", ZLV_DEFAULT_DB_DIR "/schema.sqlite.sql")),
                                   SystemStoreTimes(), &server.calls());
    http_port = server.ServeHttp(
        bind, options.Number("--http-port", 0),
        [&api](const HttpRequest& request) {
          if (auto page = SupportPage(request)) return *page;
          return api->Handle(request);
        },
        {}, tls);
  }
  if (framed) {
    out << "listening on " << bind << ":" << server.port() << std::endl;
  } else {
    out << "framed TCP listener off" << std::endl;
  }
  if (api) {
    out << (tls ? "https" : "http") << " listening on " << bind << ":" << http_port << std::endl;
  }
  server.Run(true);
  return 0;
}

struct StoreMaster {
  StoreSchema schema;
  MasterData master;
};

// What the store sells and who works there: from its database (--store-db), or from the schema
// and seed scripts (default: the project's db/ folder).
StoreMaster LoadStoreMaster(const Options& options, const std::string& branch,
                            const std::string& shop) {
  std::unique_ptr<Database> db;
  if (options.Has("--store-db")) {
    db = OpenDatabase("sqlite:" + options.Get("--store-db"));
  } else {
    db = OpenDatabase("sqlite::memory:");
    db->Execute(ReadTextFile(options.Get("--schema", ZLV_DEFAULT_DB_DIR "/schema.sqlite.sql")), {},
                0);
    db->Execute(ReadTextFile(options.Get("--seed-sql", ZLV_DEFAULT_DB_DIR "/demo-seed.sql")), {},
                0);
  }
  return {StoreSchema::FromDatabase(*db), LoadMasterData(*db, branch, shop)};
}

int AddOrders(const Options& options, std::ostream& out) {
  const std::string branch = options.Get("--branch"), shop = options.Get("--store");
  const int count = options.Number("--count", 0);
  const int scheduled = options.Number("--scheduled", 0);
  if (scheduled > count) throw UsageError("--scheduled cannot exceed --count");
  const auto [schema, master] = LoadStoreMaster(options, branch, shop);

  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  SystemClock clock;
  const DateTime now = clock.Now();
  HubTransaction transaction(*store);
  OrderGenerator generator(
      master, schema, branch, shop, static_cast<uint64_t>(options.Number("--seed", 1)),
      [&store](const std::string& counter) { return store->NextNumber(counter); },
      store->Consumers());
  std::string first, last;
  for (int i = 0; i < count; ++i) {
    const GeneratedOrder order = generator.Next(now, i >= count - scheduled);
    store->AddOrder(order, now);
    if (first.empty()) first = order.sale;
    last = order.sale;
  }
  store->SaveConsumers(generator.consumers());
  const auto cancelled = store->CancelOrders(branch, shop, options.Number("--cancel", 0), now);
  transaction.Commit();

  out << "added " << count << " orders (" << scheduled << " scheduled) for " << branch << "/"
      << shop;
  if (count > 0) out << ": " << first << ".." << last;
  out << "\n";
  if (options.Has("--cancel")) {
    out << "cancelled " << cancelled.size() << " orders";
    for (const auto& sale : cancelled) out << " " << sale;
    out << "\n";
  }
  return 0;
}

// The hub's problem as one line: its status, type, the field it names and the detail.
std::string ProblemText(const HubAnswer& answer) {
  std::string text = std::to_string(answer.status);
  try {
    const nlohmann::json problem = nlohmann::json::parse(answer.body);
    const auto member = [&problem](const char* name) {
      const auto found = problem.find(name);
      return found != problem.end() && found->is_string() ? found->get<std::string>() : "";
    };
    text += " " + member("type") + ": ";
    const auto errors = problem.find("errors");
    if (errors != problem.end() && errors->is_array() && !errors->empty() &&
        (*errors)[0].contains("pointer")) {
      text += (*errors)[0]["pointer"].get<std::string>() + " ";
    }
    text += member("detail");
    if (!member("request_id").empty()) text += " (request " + member("request_id") + ")";
  } catch (const nlohmann::json::exception&) {
    text += " " + answer.body.substr(0, 200);
  }
  return text;
}

// Sends generated orders to the hub's API as a channel would; stops at the first the hub
// refuses, so that a script running it fails there.
int PostOrders(const Options& options, std::ostream& out) {
  const std::string branch = options.Get("--branch"), shop = options.Get("--store");
  const int count = options.Number("--count", 0);
  const int scheduled = options.Number("--scheduled", 0);
  if (scheduled > count) throw UsageError("--scheduled cannot exceed --count");
  const int seed = options.Number("--seed", 1);
  std::optional<HubClient> hub;
  try {
    hub.emplace(options.Get("--url"), options.Get("--key"), std::chrono::seconds(30),
                options.Get("--ca-file", ""));
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  const StoreMaster store = LoadStoreMaster(options, branch, shop);
  ChannelOrderMaker maker(store.master, branch, shop, static_cast<uint64_t>(seed));
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  for (int i = 0; i < count; ++i) {
    const std::string external_id = "demo-" + std::to_string(seed) + "-" + std::to_string(i + 1);
    const nlohmann::json order = maker.Next(
        external_id, i >= count - scheduled ? std::optional<int64_t>(now) : std::nullopt);
    const HubAnswer answer = hub->Post("/v1/orders", order.dump());
    if (answer.status != 200 && answer.status != 201) {
      throw std::runtime_error("the hub refused order " + external_id + ": " + ProblemText(answer));
    }
    std::string id;
    try {
      id = nlohmann::json::parse(answer.body).at("id").get<std::string>();
    } catch (const nlohmann::json::exception&) {
      throw std::runtime_error("the hub's answer to order " + external_id +
                               " has no id: " + answer.body.substr(0, 200));
    }
    out << external_id << " " << id << " " << answer.status << std::endl;
  }
  return 0;
}

// Makes or upgrades the database's schema and ends: what serve does first, for an operator who
// upgrades before starting the processes. Safe beside running processes: each step is one
// transaction, and concurrent starters migrate once.
int Migrate(const Options& options, std::ostream& out) {
  OpenHubStore(options.Get("--db"));
  out << "schema up to date\n";
  return 0;
}

int Status(const Options& options, std::ostream& out) {
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  for (const StoreCounts& c : store->Status()) {
    out << "branch " << c.branch << " store " << c.store << "\n"
        << "  orders pending: " << c.orders_pending << "\n"
        << "  orders confirmed: " << c.orders_confirmed << "\n"
        << "  cancellations pending: " << c.cancels_pending
        << " (waiting for the store's sale number: " << c.cancels_waiting << ")\n"
        << "  cancellations confirmed: " << c.cancels_confirmed << "\n"
        << "  sales uploaded: " << c.sales_uploaded << " (S: " << c.sales_answered_s
        << ", D: " << c.sales_answered_d << ")\n"
        << "  history rows: " << c.history_rows << "\n";
  }
  out << "product problems: " << store->ProductProblemCount() << "\n";
  const std::vector<StoreCallRecord> calls = store->StoreCalls();
  if (!calls.empty()) out << "last calls (seconds ago, on the database's clock):\n";
  const auto seconds = [](double age) { return std::to_string(std::lround(age)); };
  for (const StoreCallRecord& call : calls) {
    out << "  branch " << call.branch << " store " << call.store << " " << call.method << ": "
        << seconds(call.call_age_s);
    if (call.success_age_s) out << ", last success " << seconds(*call.success_age_s);
    if (call.failure_age_s) {
      out << ", last failure " << seconds(*call.failure_age_s) << ": " << call.failure;
    }
    out << "\n";
  }
  return 0;
}

int AddProductProblem(const Options& options, std::ostream& out) {
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  store->AddProductProblem(options.Get("--branch", ""), options.Get("--product"),
                           options.Get("--arvprod"), options.Get("--message"));
  out << "product problem added for " << options.Get("--product") << "\n";
  return 0;
}

int AddMessage(const Options& options, std::ostream& out) {
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  store->AddMessage(options.Get("--method"), options.Get("--branch", ""),
                    options.Get("--store", ""),
                    StoreMessage{options.Get("--text"), options.Has("--error")});
  out << "message added for " << options.Get("--method") << "\n";
  return 0;
}

int AddStore(const Options& options, std::ostream& out) {
  const StoreRecord record{options.Get("--branch"), options.Get("--store"), options.Get("--name"),
                           options.Get("--time-zone")};
  if (!KnownTimeZone(record.time_zone)) {
    throw UsageError("unknown time zone \"" + record.time_zone +
                     "\" (an IANA name, as America/Sao_Paulo)");
  }
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  store->SaveStore(record);
  out << "store " << record.branch << "/" << record.store << " saved: " << record.name << " ("
      << record.time_zone << ")\n";
  return 0;
}

// Changes only the settings given; the others keep their values.
int SetBranch(const Options& options, std::ostream& out) {
  const std::string branch = options.Get("--branch");
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  HubTransaction transaction(*store);
  BranchSettings settings;
  settings.branch = branch;
  if (const auto saved = store->FindBranchSettings(branch)) settings = *saved;
  settings.client = options.Get("--client", settings.client);
  settings.seller = options.Get("--seller", settings.seller);
  settings.operator_code = options.Get("--operator", settings.operator_code);
  settings.origin = options.Get("--origin", settings.origin);
  settings.country = options.Get("--country", settings.country);
  settings.state = options.Get("--state", settings.state);
  settings.municipality = options.Get("--municipality", settings.municipality);
  for (const char* kind : {"cash", "card", "voucher", "online"}) {
    const std::string option = std::string("--receipt-") + kind;
    if (options.Has(option)) settings.receipt_types[kind] = options.Get(option);
  }
  store->SaveBranchSettings(settings);
  transaction.Commit();
  out << "branch " << branch << " settings saved\n";
  return 0;
}

int AddApiKey(const Options& options, std::ostream& out) {
  ApiKeyRecord record;
  record.support = options.Has("--support");
  record.branches = options.All("--branch");
  if (record.support) {
    if (options.Has("--channel") || !record.branches.empty()) {
      throw UsageError("a --support key reads every branch and belongs to no channel");
    }
    record.channel = "support";
  } else {
    record.channel = options.Get("--channel");
    if (record.branches.empty()) throw UsageError("a channel's key needs at least one --branch");
  }
  const std::string key = NewApiKey();
  record.hash = ApiKeyHash(key);
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  store->AddApiKey(record);
  out << key << "\n";
  return 0;
}

// The part of a token's hash the operator names it by: enough to tell an installation's few
// tokens apart, and nothing that opens anything.
constexpr std::size_t kTokenIdLength = 12;

int AddInstallation(const Options& options, std::ostream& out, std::ostream& err) {
  InstallationToken token;
  token.branch = options.Get("--branch");
  token.cash_register = options.Get("--register");
  token.store = options.Get("--store", "");
  const std::string secret = NewInstallationToken();
  token.hash = ApiKeyHash(secret);
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  store->AddInstallationToken(token);
  out << secret << "\n";
  err << "installation " << token.branch << "/" << token.cash_register << " ("
      << (token.store.empty() ? "every store of the branch" : "store " + token.store)
      << "): token id " << token.hash.substr(0, kTokenIdLength)
      << "; the token is shown only now\n";
  return 0;
}

int RevokeInstallation(const Options& options, std::ostream& out) {
  const std::string id = options.Get("--token-id");
  if (id.size() < 8 || id.find_first_not_of("0123456789abcdef") != std::string::npos) {
    throw UsageError("--token-id takes the token id add-installation printed (hex digits)");
  }
  const std::string branch = options.Get("--branch"), cash_register = options.Get("--register");
  const std::unique_ptr<HubStore> store = OpenHubStore(options.Get("--db"));
  const int revoked = store->RevokeInstallationTokens(branch, cash_register, id);
  if (revoked == 0) {
    throw std::runtime_error("installation " + branch + "/" + cash_register +
                             " has no valid token with id " + id);
  }
  out << "revoked " << revoked << " token(s) of installation " << branch << "/" << cash_register
      << "\n";
  return 0;
}

}  // namespace

int RunCentralCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw UsageError("no command");
    const std::string& command = args[0];
    if (command == "serve") {
      return Serve(Options(args,
                           {"--db", "--port", "--bind", "--idle-timeout-ms", "--request-timeout-ms",
                            "--max-connections", "--http-port", "--tls-cert", "--tls-key",
                            "--store-schema", "--call-write-interval-ms"},
                           {"--verbose", "--require-tokens"}),
                   out, err);
    }
    if (command == "add-orders") {
      return AddOrders(Options(args,
                               {"--db", "--branch", "--store", "--count", "--seed", "--scheduled",
                                "--cancel", "--store-db", "--schema", "--seed-sql"},
                               {}),
                       out);
    }
    if (command == "post-orders") {
      return PostOrders(
          Options(args,
                  {"--url", "--key", "--branch", "--store", "--count", "--seed", "--scheduled",
                   "--store-db", "--schema", "--seed-sql", "--ca-file"},
                  {}),
          out);
    }
    if (command == "migrate") return Migrate(Options(args, {"--db"}, {}), out);
    if (command == "status") return Status(Options(args, {"--db"}, {}), out);
    if (command == "add-product-problem") {
      return AddProductProblem(
          Options(args, {"--db", "--product", "--arvprod", "--message", "--branch"}, {}), out);
    }
    if (command == "add-message") {
      return AddMessage(
          Options(args, {"--db", "--method", "--text", "--branch", "--store"}, {"--error"}), out);
    }
    if (command == "add-store") {
      return AddStore(Options(args, {"--db", "--branch", "--store", "--name", "--time-zone"}, {}),
                      out);
    }
    if (command == "set-branch") {
      return SetBranch(Options(args,
                               {"--db", "--branch", "--client", "--seller", "--operator",
                                "--origin", "--receipt-cash", "--receipt-card", "--receipt-voucher",
                                "--receipt-online", "--country", "--state", "--municipality"},
                               {}),
                       out);
    }
    if (command == "add-api-key") {
      return AddApiKey(Options(args, {"--db", "--channel", "--branch"}, {"--support"}), out);
    }
    if (command == "add-installation") {
      return AddInstallation(Options(args, {"--db", "--branch", "--register", "--store"}, {}), out,
                             err);
    }
    if (command == "revoke-installation") {
      return RevokeInstallation(Options(args, {"--db", "--branch", "--register", "--token-id"}, {}),
                                out);
    }
    throw UsageError("unknown command " + command);
  } catch (const UsageError& e) {
    err << "zlvsinc-central: " << e.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    err << "zlvsinc-central: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace zlv
