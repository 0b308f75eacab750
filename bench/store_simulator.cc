// zlvsinc_store_sim: N stores at once against a running central order server, each on its own
// TCP connection, as the hub sees them in production: every cycle a BaixaPedidos (download)
// and then an AtualizaPedidos that uploads the state of 20 open sales, every --period-ms with
// a random phase per store (0: the next cycle at once, a "busy" store). It measures from the
// outside: call and cycle rates, latency per method, every failed call, and its own CPU time,
// so that the figures of the hub are not mistaken for the cost of the client.
//
// One event loop on one thread drives every connection. The upload of each store is built
// once from orders of the benchmarks' fixed shape (bench_orders.h), laid out in the store's
// own columns as the store's upload sends them, and encoded once: the loop then only adds the
// request id, so the simulator's CPU stays small beside the hub's on a shared machine.
//
// Exit status: 0 when every call succeeded, 1 when any failed (or none completed), 2 on usage.
#include <sys/resource.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_orders.h"
#include "bizlib/clock.h"
#include "central/sqlite_hub_store.h"
#include "central/store_schema.h"
#include "database/database.h"
#include "sync/central_client.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

#ifndef ZLV_DEFAULT_DB_DIR
#define ZLV_DEFAULT_DB_DIR "db"
#endif

namespace zlv::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;
using asio::ip::tcp;

constexpr int kSalesPerUpload = 20;
// A call that has not been answered within this time fails, as the store's client gives up.
constexpr auto kCallTimeout = std::chrono::seconds(60);
// A busy store whose connection failed waits this long before it connects again.
constexpr auto kBusyRetry = std::chrono::milliseconds(100);

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  int stores = 200;
  int period_ms = 3000;
  int duration_s = 10;
  std::string db_dir = ZLV_DEFAULT_DB_DIR;
};

constexpr const char* kUsage =
    "usage: zlvsinc_store_sim --port N [--host H] [--stores N] [--period-ms P] [--duration-s D]\n"
    "                         [--db-dir DIR]\n"
    "  --period-ms 0: each store starts its next cycle as soon as the last one ends\n"
    "  --db-dir: where schema.sqlite.sql and demo-seed.sql are (the uploads' layouts)\n";

Options ParseOptions(int argc, char** argv) {
  Options options;
  const auto number = [](const std::string& name, const std::string& text) {
    std::size_t used = 0;
    int value = -1;
    try {
      value = std::stoi(text, &used);
    } catch (const std::exception&) {
    }
    if (value < 0 || used != text.size()) {
      throw std::invalid_argument(name + " must be a whole number, not \"" + text + "\"");
    }
    return value;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
    const std::string value = argv[++i];
    if (name == "--host") {
      options.host = value;
    } else if (name == "--port") {
      options.port = number(name, value);
    } else if (name == "--stores") {
      options.stores = number(name, value);
    } else if (name == "--period-ms") {
      options.period_ms = number(name, value);
    } else if (name == "--duration-s") {
      options.duration_s = number(name, value);
    } else if (name == "--db-dir") {
      options.db_dir = value;
    } else {
      throw std::invalid_argument("unknown option " + name);
    }
  }
  if (options.port == 0 || options.stores == 0 || options.duration_s == 0) {
    throw std::invalid_argument("--port, --stores and --duration-s must be above 0");
  }
  return options;
}

// Store i is branch 0001 + i / 100, store 001 + i % 100: the first two are the demo seed's
// stores, so orders added to the hub for them with `zlvsinc-central add-orders` come down.
std::pair<std::string, std::string> StoreCodes(int index) {
  char branch[16], store[16];
  std::snprintf(branch, sizeof branch, "%04d", 1 + index / 100);
  std::snprintf(store, sizeof store, "%03d", 1 + index % 100);
  return {branch, store};
}

// ---- The upload of a store ----------------------------------------------------------------

// One row in the store's own columns: each cell from the generated row's column of that name,
// null where the download carries no such column, then `set` on top.
std::vector<Variant> StoreRow(const std::vector<FieldDef>& columns, const DataPacket& from,
                              std::size_t row, const std::map<std::string, Variant>& set) {
  std::vector<Variant> cells;
  cells.reserve(columns.size());
  for (const FieldDef& column : columns) {
    const auto it = set.find(column.name);
    const int source = from.FieldIndex(column.name);
    if (it != set.end()) {
      cells.push_back(it->second);
    } else if (source >= 0) {
      cells.push_back(from.rows[row][static_cast<std::size_t>(source)]);
    } else {
      cells.push_back(Variant::Null());
    }
  }
  return cells;
}

// The five packets of an upload of kSalesPerUpload open sales (order tab "3", in preparation)
// that came from the hub, in the columns the store's upload sends: all of VENDAREST,
// ITCOMANDAVEN and MOVCAIXADLV; five sale columns then all of COMANDAVEN for the tabs; and an
// empty consumer packet (the store registered none itself). Branch and store cells are the
// demo store's; PerStore puts each store's codes in.
std::vector<DataPacket> UploadPackets(const std::string& db_dir) {
  auto store_db = OpenDatabase("sqlite::memory:");
  store_db->Execute(ReadTextFile(db_dir + "/schema.sqlite.sql"), {}, 0);
  store_db->Execute(ReadTextFile(db_dir + "/demo-seed.sql"), {}, 0);
  const StoreSchema schema = StoreSchema::FromDatabase(*store_db);
  FixedShapeOrders orders(*store_db, "0001", "001");
  SqliteHubStore numbers(":memory:");

  const auto with = [](const char* first, std::vector<FieldDef> columns,
                       std::vector<FieldDef> before = {}) {
    before.push_back(FieldDef{first, FieldType::String, 10});
    before.insert(before.end(), columns.begin(), columns.end());
    return before;
  };
  std::vector<DataPacket> packets(5);
  packets[0].fields = schema.Columns("VENDAREST");
  std::vector<FieldDef> sale_columns;
  for (const char* name : {"CDVENDEDOR", "DTHRABERMESA", "CDCLIENTE", "CDCONSUMIDOR"}) {
    const auto& columns = packets[0].fields;
    sale_columns.push_back(*std::find_if(columns.begin(), columns.end(),
                                         [name](const FieldDef& f) { return f.name == name; }));
  }
  packets[1].fields = with("NRVENDARESTAUX", schema.Columns("COMANDAVEN"));
  packets[1].fields.insert(packets[1].fields.begin() + 1, sale_columns.begin(), sale_columns.end());
  packets[2].fields = schema.Columns("ITCOMANDAVEN");
  packets[3].fields = schema.Columns("MOVCAIXADLV");
  packets[4].fields = with("NRVENDAREST", schema.Columns("CONSUMIDOR"));

  const DateTime now = SystemClock().Now();
  for (int i = 0; i < kSalesPerUpload; ++i) {
    HubTransaction transaction(numbers);
    const GeneratedOrder order = orders.Next(numbers, now);
    transaction.Commit();
    const DataPacket& sale = order.sets[kVendaRest];
    const std::map<std::string, Variant> local = {{"NRVENDAREST", std::to_string(i + 1)},
                                                  {"NRVENDARESTAUX", order.sale}};
    packets[0].rows.push_back(StoreRow(packets[0].fields, sale, 0, local));
    std::vector<Variant> tab = StoreRow(packets[1].fields, order.sets[kComandaVen], 0,
                                        {{"NRVENDAREST", local.at("NRVENDAREST")},
                                         {"NRVENDARESTAUX", order.sale},
                                         {"IDSTCOMANDA", "3"}});
    for (std::size_t c = 0; c < sale_columns.size(); ++c) {
      tab[1 + c] = sale.rows[0][static_cast<std::size_t>(sale.FieldIndex(sale_columns[c].name))];
    }
    packets[1].rows.push_back(std::move(tab));
    for (int set : {static_cast<int>(kItComandaVen), static_cast<int>(kMovCaixaDlv)}) {
      const DataPacket& rows = order.sets[static_cast<std::size_t>(set)];
      DataPacket& packet = packets[set == kItComandaVen ? 2 : 3];
      for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        packet.rows.push_back(
            StoreRow(packet.fields, rows, r, {{"NRVENDAREST", local.at("NRVENDAREST")}}));
      }
    }
  }
  return packets;
}

// The request's params (one array of 7) for one store, as JSON text: the packets with the
// store's branch and store codes in every CDFILIAL and CDLOJA cell.
std::string PerStore(std::vector<DataPacket> packets, const std::string& branch,
                     const std::string& store) {
  std::vector<Variant> slots;
  for (DataPacket& packet : packets) {
    for (const char* column : {"CDFILIAL", "CDLOJA"}) {
      const int index = packet.FieldIndex(column);
      if (index < 0) continue;
      for (auto& row : packet.rows) {
        row[static_cast<std::size_t>(index)] =
            Variant(std::string_view(column) == "CDFILIAL" ? branch : store);
      }
    }
    slots.emplace_back(std::move(packet));
  }
  slots.emplace_back(branch);
  slots.emplace_back(store);
  nlohmann::json params = nlohmann::json::array();
  params.push_back(VariantToJson(Variant(std::move(slots))));
  return DumpJsonText(params);
}

// The request BuildRequest makes, from params already encoded (nlohmann's objects keep their
// keys sorted, so the envelope's order is fixed).
std::string UploadRequest(int64_t id, const std::string& params) {
  return R"({"id":)" + std::to_string(id) +
         R"(,"jsonrpc":"2.0","method":"AtualizaPedidos","params":)" + params + "}";
}

// ---- Figures ------------------------------------------------------------------------------

enum Method { kDownload = 0, kUpload = 1, kMethodCount = 2 };
const char* const kMethodNames[kMethodCount] = {"BaixaPedidos", "AtualizaPedidos"};

struct Figures {
  std::vector<int64_t> latency_us[kMethodCount];
  int64_t errors[kMethodCount] = {0, 0};
  int64_t connect_errors = 0;
  int64_t pairs = 0;
  std::map<std::string, int64_t> error_kinds;  // first words of the failure, for the report
  bool counting = false;                       // only calls that end inside the window count

  void Fail(const std::string& what) {
    if (counting) ++error_kinds[what.substr(0, 120)];
  }
};

// ---- One store ----------------------------------------------------------------------------

class Store : public std::enable_shared_from_this<Store> {
 public:
  Store(asio::io_context& io, const tcp::endpoint& hub, Figures& figures, int index,
        std::string upload_params, SteadyClock::duration period)
      : socket_(io),
        timer_(io),
        hub_(hub),
        figures_(figures),
        codes_(StoreCodes(index)),
        upload_params_(std::move(upload_params)),
        period_(period) {}

  void Connect(std::function<void()> done) {
    socket_.async_connect(hub_, [self = shared_from_this(), done](const asio::error_code& error) {
      if (error) self->ConnectFailed(error);
      if (!error) self->socket_.set_option(tcp::no_delay(true));
      if (done) done();
    });
  }

  void Start(SteadyClock::time_point first) { WaitUntil(first); }

  // Closes a call that has waited over kCallTimeout: its read then fails and is counted.
  void CheckTimeout(SteadyClock::time_point now) {
    if (in_call_ && now - sent_at_ > kCallTimeout) {
      timed_out_ = true;
      asio::error_code ignored;
      socket_.close(ignored);
    }
  }

  void Stop() {
    stopped_ = true;
    asio::error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
  }

 private:
  void WaitUntil(SteadyClock::time_point when) {
    if (stopped_) return;
    next_cycle_ = when;
    timer_.expires_at(when);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error && !self->stopped_) self->Cycle();
    });
  }

  void Cycle() {
    if (!socket_.is_open()) {
      Connect([self = shared_from_this()] {
        if (self->stopped_) return;
        if (self->socket_.is_open()) {
          self->Call(kDownload);
        } else {
          self->NextCycle();
        }
      });
      return;
    }
    Call(kDownload);
  }

  void NextCycle() {
    const auto now = SteadyClock::now();
    if (period_.count() == 0) {
      WaitUntil(socket_.is_open() ? now : now + kBusyRetry);
      return;
    }
    // Fixed rate: a store that fell behind starts its next cycle at once, and does not
    // crowd the ones it missed into a burst.
    auto next = next_cycle_ + period_;
    if (next < now) next = now;
    WaitUntil(next);
  }

  void Call(Method method) {
    method_ = method;
    const int64_t id = next_id_++;
    out_ = method == kDownload
               ? BuildRequest(id, "BaixaPedidos", {Variant(codes_.first), Variant(codes_.second)})
               : UploadRequest(id, upload_params_);
    const auto header = EncodeFrameHeader(out_.size());
    out_.insert(0, reinterpret_cast<const char*>(header.data()), header.size());
    sent_at_ = SteadyClock::now();
    in_call_ = true;
    asio::async_write(socket_, asio::buffer(out_),
                      [self = shared_from_this(), id](const asio::error_code& error, std::size_t) {
                        if (error) return self->Failed(error.message());
                        self->ReadHeader(id);
                      });
  }

  void ReadHeader(int64_t id) {
    asio::async_read(socket_, asio::buffer(header_),
                     [self = shared_from_this(), id](const asio::error_code& error, std::size_t) {
                       if (error) return self->Failed(error.message());
                       try {
                         self->in_.resize(DecodeFrameLength(self->header_));
                       } catch (const std::exception& e) {
                         return self->Failed(e.what());
                       }
                       self->ReadPayload(id);
                     });
  }

  void ReadPayload(int64_t id) {
    asio::async_read(socket_, asio::buffer(in_),
                     [self = shared_from_this(), id](const asio::error_code& error, std::size_t) {
                       if (error) return self->Failed(error.message());
                       self->Answered(id);
                     });
  }

  void Answered(int64_t id) {
    const auto latency = SteadyClock::now() - sent_at_;
    in_call_ = false;
    try {
      const Variant result = ParseResponse(in_, id);
      Check(result);
    } catch (const RemoteError& e) {
      // The call failed; the connection is still sound.
      if (figures_.counting) ++figures_.errors[method_];
      figures_.Fail(std::string(kMethodNames[method_]) + ": " + e.what());
      return NextCycle();
    } catch (const std::exception& e) {
      return Failed(e.what());
    }
    if (figures_.counting) {
      figures_.latency_us[method_].push_back(
          std::chrono::duration_cast<std::chrono::microseconds>(latency).count());
    }
    if (method_ == kDownload) return Call(kUpload);
    if (figures_.counting) ++figures_.pairs;
    NextCycle();
  }

  // What the store's client would refuse, and an upload answer that misses any sale.
  void Check(const Variant& result) const {
    if (method_ == kDownload) {
      if (result.IsArray() && result.AsArray().size() != kDownloadSetCount) {
        throw ProtocolError("BaixaPedidos answered an array of " +
                            std::to_string(result.AsArray().size()) + " values");
      }
      CheckItemsPerOrder(result);
      return;
    }
    if (!result.IsArray() || result.AsArray().size() < 2 || !result.AsArray()[1].IsPacket() ||
        result.AsArray()[1].AsPacket().rows.size() != kSalesPerUpload) {
      throw ProtocolError("AtualizaPedidos did not answer each of the " +
                          std::to_string(kSalesPerUpload) + " sales");
    }
  }

  // The connection cannot be trusted any more: the store closes it and connects again at its
  // next cycle, as the store's client does.
  void Failed(const std::string& what) {
    in_call_ = false;
    if (stopped_) return;
    if (figures_.counting) ++figures_.errors[method_];
    figures_.Fail(std::string(kMethodNames[method_]) + ": " +
                  (timed_out_ ? "no answer within the time-out" : what));
    timed_out_ = false;
    asio::error_code ignored;
    socket_.close(ignored);
    next_id_ = 1;
    NextCycle();
  }

  void ConnectFailed(const asio::error_code& error) {
    if (stopped_) return;
    if (figures_.counting) ++figures_.connect_errors;
    figures_.Fail("connect: " + error.message());
    asio::error_code ignored;
    socket_.close(ignored);
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  tcp::endpoint hub_;
  Figures& figures_;
  std::pair<std::string, std::string> codes_;
  std::string upload_params_;
  SteadyClock::duration period_;
  SteadyClock::time_point next_cycle_, sent_at_;
  Method method_ = kDownload;
  int64_t next_id_ = 1;
  bool in_call_ = false, timed_out_ = false, stopped_ = false;
  std::string out_, in_;
  unsigned char header_[kFrameHeaderSize] = {};
};

// ---- The run ------------------------------------------------------------------------------

double Percentile(std::vector<int64_t>& values, double fraction) {
  if (values.empty()) return 0;
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                   values.end());
  return static_cast<double>(values[index]) / 1000.0;
}

double CpuSeconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

int Run(const Options& options) {
  std::cout << "building the uploads of " << options.stores << " stores..." << std::endl;
  const std::vector<DataPacket> packets = UploadPackets(options.db_dir);
  std::vector<std::string> uploads;
  uploads.reserve(static_cast<std::size_t>(options.stores));
  for (int i = 0; i < options.stores; ++i) {
    const auto [branch, store] = StoreCodes(i);
    uploads.push_back(PerStore(packets, branch, store));
  }
  {
    // The spliced request must be the one the protocol's encoder builds.
    const std::vector<Variant> params = {VariantFromJson(ParseJsonText(uploads[0]).at(0))};
    if (UploadRequest(7, uploads[0]) != BuildRequest(7, "AtualizaPedidos", params)) {
      throw std::logic_error("the upload request differs from BuildRequest's");
    }
  }

  std::cout << "upload request: " << UploadRequest(1, uploads[0]).size() << " bytes" << std::endl;

  asio::io_context io;
  tcp::resolver resolver(io);
  const tcp::endpoint hub =
      resolver.resolve(options.host, std::to_string(options.port)).begin()->endpoint();
  Figures figures;
  const auto period = std::chrono::milliseconds(options.period_ms);
  std::vector<std::shared_ptr<Store>> stores;
  int connecting = options.stores;
  for (int i = 0; i < options.stores; ++i) {
    stores.push_back(std::make_shared<Store>(
        io, hub, figures, i, std::move(uploads[static_cast<std::size_t>(i)]), period));
  }
  uploads.clear();
  // Every store connects before the window opens; a store that could not is counted below
  // and tries again at its first cycle.
  figures.counting = true;
  for (auto& store : stores) store->Connect([&connecting] { --connecting; });
  while (connecting > 0 && io.run_one()) {
  }
  io.restart();  // run_one stopped the loop when it ran out of work

  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = SteadyClock::now();
  std::mt19937_64 random(20260601);
  std::uniform_int_distribution<int64_t> phase(0, std::max(0, options.period_ms - 1));
  for (auto& store : stores) {
    store->Start(start + std::chrono::milliseconds(options.period_ms ? phase(random) : 0));
  }
  asio::steady_timer watchdog(io), end(io);
  std::function<void()> watch = [&] {
    watchdog.expires_after(std::chrono::seconds(1));
    watchdog.async_wait([&](const asio::error_code& error) {
      // Once the window has closed, a tick already due when it closed must not arm another.
      if (error || !figures.counting) return;
      const auto now = SteadyClock::now();
      for (auto& store : stores) store->CheckTimeout(now);
      watch();
    });
  };
  watch();
  end.expires_at(start + std::chrono::seconds(options.duration_s));
  end.async_wait([&](const asio::error_code&) {
    figures.counting = false;
    watchdog.cancel();
    for (auto& store : stores) store->Stop();
  });
  io.run();
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  rusage after{};
  getrusage(RUSAGE_SELF, &after);

  int64_t calls = 0, errors = figures.connect_errors;
  for (int m = 0; m < kMethodCount; ++m) {
    calls += static_cast<int64_t>(figures.latency_us[m].size()) + figures.errors[m];
    errors += figures.errors[m];
  }
  std::printf("stores %d, period %d ms, window %.1f s\n", options.stores, options.period_ms,
              seconds);
  std::printf("calls: %lld (%.0f/s)\n", static_cast<long long>(calls),
              static_cast<double>(calls) / seconds);
  std::printf("download-and-upload pairs: %lld (%.0f/s)\n", static_cast<long long>(figures.pairs),
              static_cast<double>(figures.pairs) / seconds);
  for (int m = 0; m < kMethodCount; ++m) {
    auto& values = figures.latency_us[m];
    const double max =
        values.empty()
            ? 0
            : static_cast<double>(*std::max_element(values.begin(), values.end())) / 1000.0;
    std::printf("%-16s ok %lld, errors %lld, latency ms p50 %.2f p99 %.2f max %.2f\n",
                kMethodNames[m], static_cast<long long>(values.size()),
                static_cast<long long>(figures.errors[m]), Percentile(values, 0.50),
                Percentile(values, 0.99), max);
  }
  std::printf("connect errors: %lld\n", static_cast<long long>(figures.connect_errors));
  std::printf("errors: %lld\n", static_cast<long long>(errors));
  for (const auto& [what, count] : figures.error_kinds) {
    std::printf("  %lld x %s\n", static_cast<long long>(count), what.c_str());
  }
  const double user = CpuSeconds(after.ru_utime) - CpuSeconds(before.ru_utime);
  const double system = CpuSeconds(after.ru_stime) - CpuSeconds(before.ru_stime);
  std::printf("simulator CPU in the window: user %.2f s, system %.2f s (%.0f %% of one core)\n",
              user, system, 100.0 * (user + system) / seconds);
  return errors == 0 && figures.pairs > 0 ? 0 : 1;
}

}  // namespace
}  // namespace zlv::bench

int main(int argc, char** argv) {
  zlv::bench::Options options;
  try {
    options = zlv::bench::ParseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "zlvsinc_store_sim: " << e.what() << "\n" << zlv::bench::kUsage;
    return 2;
  }
  try {
    return zlv::bench::Run(options);
  } catch (const std::exception& e) {
    std::cerr << "zlvsinc_store_sim: " << e.what() << "\n";
    return 1;
  }
}
