// The synchroniser's figures (docs/performance.md): a backlog of orders downloaded, written,
// printed and confirmed by whole synchronisation runs against the in-process reference central
// server; the same orders through the order and ticket writers alone; the same rows written by
// a bare SQLite loop (the floor); the tickets of one order of thousands of items; the upload of
// 10,000 pending sales; the resident size over many cycles with orders flowing.
//
// Each case builds its store and server while the clock is paused; the timed part is only the
// work named. Real (wall) time, since the server answers on its own thread.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "bare_sqlite.h"
#include "bench_orders.h"
#include "central/order_layouts.h"
#include "database/sqlite_database.h"
#include "database/transactions.h"
#include "host/memory_trim.h"
#include "platform/memory_trim.h"
#include "print/delivery_ticket.h"
#include "print/production_ticket.h"
#include "store/consumer_writer.h"
#include "store/order_writer.h"
#include "support/demo_store.h"
#include "support/fake_central_calls.h"
#include "support/temp_dir.h"
#include "sync/download_run.h"
#include "sync_fixture.h"

namespace zlv::bench {
namespace {

using test::kFilial;
using test::kLoja;
using test::SyncInstallation;

std::size_t FilesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += entry.is_regular_file() ? 1 : 0;
  }
  return count;
}

// The folders of finished cases, removed when the benchmarks end. This machine's file system
// (ext4 without a journal) skips inodes freed in the last seconds when it makes a file, reading
// each one to know, so files made just after a case deleted its thousands of tickets cost many
// times more, and which case came before would decide a figure. A store's spooler deletes
// tickets as its printers take them, a few a second.
std::vector<test::TempDir>& Kept() {
  static std::vector<test::TempDir> kept;
  return kept;
}

void Retire(std::unique_ptr<SyncInstallation>& s) {
  Kept().push_back(s->TakeFolder());
  s.reset();
}

// Resident set size in KiB (Linux /proc); -1 where it cannot be read.
double ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  if (!(statm >> pages >> resident)) return -1;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

// A backlog of `orders` pending at the central server, drained by synchronisation runs (the
// reference server hands out at most 100 orders per download, as a real one bounds its
// answers): each run downloads, writes, prints and confirms its orders, then uploads the
// store's order state.
//
// Every run uploads every open delivery order of the day again, by design, so a backlog whose
// orders stay open costs more per run as it drains. With `delivered` set, the store finishes
// each run's orders before the next run (the counter work is not timed), as a store that keeps
// up with its orders does: each order is then uploaded until the server answers "D", and a run
// costs the same at any backlog size.
constexpr int kRunsPerDay = 50;  // 5,000 orders at the server's 100 per download

void BM_BacklogWholeRuns(benchmark::State& state) {
  const int orders = static_cast<int>(state.range(0));
  const bool delivered = state.range(1) != 0;
  int runs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<SyncInstallation>();
    FixedShapeOrders(s->db().real(), kFilial, kLoja).AddTo(s->central(), orders, s->clock().Now());
    state.ResumeTiming();
    runs = 0;
    int pending = orders;
    bool stalled = false;
    while (pending > 0 && !stalled) {
      s->Tick();
      ++runs;
      state.PauseTiming();
      if (delivered) s->Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = '5' WHERE IDSTCOMANDA <> '5'");
      // A store's call codes have four digits and start again each day, so no store takes
      // 10,000 orders in one day: a backlog that large is a multi-day outage, and the store's
      // day turns while it drains.
      if (runs % kRunsPerDay == 0) s->clock().Advance(24 * 60 * 60);
      const int left = s->CentralCounts().orders_pending;
      stalled = left == pending;
      pending = left;
      state.ResumeTiming();
    }
    state.PauseTiming();
    if (stalled || s->CentralCounts().orders_confirmed != orders ||
        s->Count("SELECT COUNT(*) FROM VENDAREST") != orders ||
        FilesIn(s->TicketFolder()) < static_cast<std::size_t>(orders)) {
      state.SkipWithError("not every order was written, printed and confirmed");
      break;
    }
    Retire(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * orders);
  state.counters["runs"] = runs;
}

// The orders of one download handed straight to the consumer, order and ticket writers, as a
// run does once they are loaded; no server, no upload.
void BM_WritersOnly(benchmark::State& state) {
  const int orders = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<SyncInstallation>();
    FixedShapeOrders maker(s->db().real(), kFilial, kLoja);
    std::vector<std::vector<DataPacket>> per_set(kDownloadSetCount);
    {
      HubTransaction numbers(s->central());
      for (int i = 0; i < orders; ++i) {
        const GeneratedOrder order = maker.Next(s->central(), s->clock().Now());
        for (int set = 0; set < kDownloadSetCount; ++set) per_set[set].push_back(order.sets[set]);
      }
    }
    DownloadSets& sets = s->cycle().run().sets();
    auto targets = sets.InDownloadOrder();
    for (int set = 0; set < kDownloadSetCount; ++set) {
      targets[set]->LoadPacket(MergePackets(per_set[set]));
    }
    FakeCentralCalls central;
    Services& services = s->services();
    state.ResumeTiming();

    InsereConsumidor(services, sets);
    AbreTransacao(services.db);
    InsereConsumiFilial(services, sets);
    ConfirmaTransacao(services.db);
    InserePedido(services, central, sets);
    TicketSources sources = s->cycle().run().ticket_sources();
    for (sets.cdsVendaRest.First(); !sets.cdsVendaRest.Eof(); sets.cdsVendaRest.Next()) {
      for (const char* column : {"NRSEQIMPRPROD", "NRSEQIMPRPROD2", "NRSEQIMPRPUXA"}) {
        MontaArquivoPedido_(services, sources, column, "D");
      }
      MontaArquivoEntrega(services, sources, "D");
    }
    central.UpdateSincronismo(sets.cdsVendaRest.Packet(), sets.cdsPedidosCanc.Packet());

    state.PauseTiming();
    if (sets.cdsVendaRest.RecordCount() != orders ||
        FilesIn(s->TicketFolder()) < static_cast<std::size_t>(orders)) {
      state.SkipWithError("not every order was written and printed");
      break;
    }
    Retire(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * orders);
}

// The tickets of one order of `items` identical items (one product, one observation each): the
// kitchen, second kitchen, puxa and delivery tickets. The order is written by the order writer
// and then grown in the store database; only the ticket writing is timed.
void BM_TicketsOfOneLargeOrder(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<SyncInstallation>();
    {
      FixedShapeOrders maker(s->db().real(), kFilial, kLoja);
      std::array<DataPacket, kDownloadSetCount> order;
      {
        HubTransaction numbers(s->central());
        order = maker.Next(s->central(), s->clock().Now()).sets;
      }
      DownloadSets& sets = s->cycle().run().sets();
      auto targets = sets.InDownloadOrder();
      for (int set = 0; set < kDownloadSetCount; ++set) targets[set]->LoadPacket(order[set]);
      Services& services = s->services();
      FakeCentralCalls central;
      InsereConsumidor(services, sets);
      AbreTransacao(services.db);
      InsereConsumiFilial(services, sets);
      ConfirmaTransacao(services.db);
      InserePedido(services, central, sets);
    }
    // The first item and its observation, repeated: the order's only rows in the store.
    s->Sql("CREATE TEMP TABLE one_item AS SELECT * FROM ITCOMANDAVEN LIMIT 1");
    s->Sql(
        "CREATE TEMP TABLE one_obs AS SELECT O.* FROM OBSITCOMANDAVEN O JOIN one_item I ON "
        "O.NRVENDAREST = I.NRVENDAREST AND O.NRPRODCOMVEN = I.NRPRODCOMVEN");
    s->Sql("DELETE FROM OBSITCOMANDAVEN");
    s->Sql("DELETE FROM ITCOMANDAVEN");
    s->Sql(
        "CREATE TEMP TABLE copies AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
        "FROM n WHERE i < " +
        std::to_string(items) + ") SELECT printf('%05d', i) AS NR FROM n");
    s->Sql("CREATE TEMP TABLE many_items AS SELECT one_item.* FROM one_item, copies");
    s->Sql("UPDATE many_items SET NRPRODCOMVEN = printf('%05d', rowid)");
    s->Sql("INSERT INTO ITCOMANDAVEN SELECT * FROM many_items");
    s->Sql("CREATE TEMP TABLE many_obs AS SELECT one_obs.* FROM one_obs, copies");
    s->Sql("UPDATE many_obs SET NRPRODCOMVEN = printf('%05d', rowid)");
    s->Sql("INSERT INTO OBSITCOMANDAVEN SELECT * FROM many_obs");
    if (s->Count("SELECT COUNT(*) FROM ITCOMANDAVEN") != items) {
      state.SkipWithError("the order was not grown to its items");
      break;
    }
    Services& services = s->services();
    TicketSources sources = s->cycle().run().ticket_sources();
    sources.cdsVendaRest.First();
    state.ResumeTiming();

    for (const char* column : {"NRSEQIMPRPROD", "NRSEQIMPRPROD2", "NRSEQIMPRPUXA"}) {
      MontaArquivoPedido_(services, sources, column, "D");
    }
    MontaArquivoEntrega(services, sources, "D");

    state.PauseTiming();
    if (FilesIn(s->TicketFolder()) < 2) {
      state.SkipWithError("the order's tickets were not written");
      break;
    }
    Retire(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * items);
}

// The floor: the same rows by prepared SQLite inserts, one transaction per order.
void BM_BareSqliteFloor(benchmark::State& state) {
  const int orders = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto dir = std::make_unique<test::TempDir>("zlv_bench_floor");
    const std::filesystem::path file = dir->path() / "store.db";
    std::vector<GeneratedOrder> generated;
    {
      auto store = test::OpenDemoStore(file);
      SqliteHubStore central((dir->path() / "central.db").string());
      FixedShapeOrders maker(*store, kFilial, kLoja);
      HubTransaction numbers(central);
      for (int i = 0; i < orders; ++i) {
        generated.push_back(maker.Next(central, DateTime::FromCivil(2026, 6, 1, 20, 0, 0)));
      }
    }
    auto writer = std::make_unique<BareSqliteWriter>(file);
    state.ResumeTiming();
    for (const GeneratedOrder& order : generated) writer->Write(order);
    state.PauseTiming();
    writer.reset();
    Kept().push_back(std::move(*dir));
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * orders);
}

// One run whose upload phase sends 10,000 pending sales (100 batches of 100).
void BM_UploadPendingSales(benchmark::State& state) {
  const int sales = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<SyncInstallation>();
    s->InsertPendingSales(sales);
    state.ResumeTiming();
    s->Tick();
    state.PauseTiming();
    if (s->CentralCounts().sales_uploaded != sales) {
      state.SkipWithError("not every pending sale was uploaded");
      break;
    }
    Retire(s);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * sales);
}

// Resident size after 10 and after ZLV_BENCH_CYCLES (default 2,000) cycles, each bringing
// two new orders, as a store that never stops does. Every run starts with the host's memory
// trim, as in the synchroniser.
void BM_ResidentSizeOverCycles(benchmark::State& state) {
  const char* env = std::getenv("ZLV_BENCH_CYCLES");
  const int cycles = env != nullptr ? std::atoi(env) : 2000;
  constexpr int kEarly = 10;
  constexpr int kOrdersPerCycle = 2;
  double early = 0, half = 0, late = 0;
  for (auto _ : state) {
    SyncInstallation s;
    FixedShapeOrders maker(s.db().real(), kFilial, kLoja);
    for (int cycle = 1; cycle <= cycles; ++cycle) {
      maker.AddTo(s.central(), kOrdersPerCycle, s.clock().Now());
      // What the host does at the start of every run.
      TrimAppMemorySize(s.services().log);
      s.Tick();
      // The store delivers its orders; the next upload tells the server, which answers "D",
      // and they leave the upload, as in a store's working day.
      s.Sql("UPDATE COMANDAVEN SET IDSTCOMANDA = '5' WHERE IDSTCOMANDA <> '5'");
      if (cycle == kEarly) early = ResidentKiB();
      if (cycle == cycles / 2) half = ResidentKiB();
    }
    late = ResidentKiB();
    if (s.CentralCounts().orders_confirmed != cycles * kOrdersPerCycle) {
      state.SkipWithError("orders were lost on the way");
    }
  }
  state.counters["rss_kib_after_10"] = early;
  state.counters["rss_kib_after_all"] = late;
  state.counters["cycles"] = cycles;
  // The caches of the three database connections (store, server, test) fill up in the first
  // cycles; a leak would show as growth in the second half too.
  state.counters["rss_kib_at_half"] = half;
  state.counters["growth_kib_second_half"] = late - half;
}

BENCHMARK(BM_BacklogWholeRuns)
    ->ArgNames({"orders", "delivered"})
    ->Args({100, 1})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({1000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_WritersOnly)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TicketsOfOneLargeOrder)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(4000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BareSqliteFloor)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UploadPendingSales)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ResidentSizeOverCycles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace zlv::bench

// The synchroniser's own start-up setting of the allocator, so that the figures are those of
// the executable.
int main(int argc, char** argv) {
  zlv::platform::KeepFreedMemoryUntilTrim();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
