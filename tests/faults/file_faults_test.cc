// The ticket writers and the log when the disk lets them down: the ticket folder missing, a
// file where the folder should be, the folder read-only, the disk full, the log folder not
// writable. A ticket either reaches the spooler whole or not at all, every failure is in the
// log under the writer's name, and the order's rows in the store database stay as they were.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "print/delivery_ticket.h"
#include "print/print_store.h"
#include "print/production_ticket.h"
#include "scoped_mount.h"
#include "support/temp_dir.h"

namespace zlv::test {
namespace {

namespace fs = std::filesystem;

// An app delivery order of tests/print/orders.sql: five tickets on three printers.
constexpr const char* kOrder = "900001";
constexpr const char* kGolden = "app_delivery_900001";
const char* const kColumns[] = {"NRSEQIMPRPROD", "NRSEQIMPRPROD2", "NRSEQIMPRPUXA"};

#define SKIP_WITHOUT_MOUNTS()                                     \
  if (const auto why = MountsUnavailable()) GTEST_SKIP() << *why; \
  static_assert(true)

class TicketFolderFaultTest : public ::testing::Test {
 protected:
  // What the download run does for a committed order when the register prints tickets.
  void PrintOrder() {
    store_.Download({kOrder});
    TicketSources sources = store_.sources();
    for (const char* column : kColumns)
      MontaArquivoPedido_(store_.services(), sources, column, "D");
    MontaArquivoEntrega(store_.services(), sources, "D");
  }

  // The writers' failure lines logged since the last call.
  std::vector<std::string> NewFailures() {
    std::vector<std::string> failures;
    const std::string log = store_.LogText();
    for (std::size_t at = log.find("Método \"", logged_); at != std::string::npos;
         at = log.find("Método \"", at + 1)) {
      failures.push_back(log.substr(at, log.find("\r\n", at) - at));
    }
    logged_ = log.size();
    return failures;
  }

  // One failure line per ticket call, each naming its writer and the cause.
  void ExpectEveryWriterFailed(const std::string& cause) {
    const std::vector<std::string> failures = NewFailures();
    ASSERT_EQ(failures.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(failures[i].starts_with("Método \"MontaArquivoPedido_" +
                                          std::string(kColumns[i]) + "\": Erro -> "))
          << failures[i];
    }
    EXPECT_TRUE(failures[3].starts_with("Método \"MontaArquivoEntrega\": Erro -> ")) << failures[3];
    for (const auto& line : failures) EXPECT_NE(line.find(cause), std::string::npos) << line;
  }

  // Once the fault is gone, the next print writes every ticket whole.
  void ExpectPrintedAgain() {
    PrintOrder();
    EXPECT_TRUE(NewFailures().empty());
    ExpectTicketsMatchGolden(store_, kGolden);
  }

  int64_t OrderRows() {
    return store_.db()
        .Query("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX = ?", {Variant(kOrder)})
        .rows.at(0)
        .at(0)
        .AsInteger();
  }

  PrintStore store_;
  std::size_t logged_ = 0;
};

TEST_F(TicketFolderFaultTest, MissingFolderOrAFileInItsPlaceFailsEachTicketAloneAndLogsIt) {
  const fs::path folder = store_.TicketFolder();
  fs::remove_all(folder);
  PrintOrder();
  ExpectEveryWriterFailed("Não foi possível criar o arquivo " + folder.string());
  EXPECT_FALSE(fs::exists(folder)) << "the writers must not create the ticket folder";

  WriteFileBytes(folder, "not a folder");
  PrintOrder();
  ExpectEveryWriterFailed(folder.string());
  EXPECT_EQ(ReadFileBytes(folder), "not a folder");

  EXPECT_EQ(OrderRows(), 1);
  fs::remove(folder);
  fs::create_directories(folder);
  ExpectPrintedAgain();
}

TEST_F(TicketFolderFaultTest, ReadOnlyFolderGetsNoTicketAndNoTemporaryFile) {
  SKIP_WITHOUT_MOUNTS();
  {
    const ScopedMount read_only = ScopedMount::ReadOnly(store_.TicketFolder());
    PrintOrder();
    ExpectEveryWriterFailed("Não foi possível criar o arquivo");
    EXPECT_TRUE(store_.Tickets().empty());
  }
  ExpectPrintedAgain();
}

// Fills the file system holding the folder; returns the filler file.
fs::path FillDisk(const fs::path& folder) {
  const fs::path filler = folder / "filler.bin";
  std::ofstream out(filler, std::ios::binary);
  const std::string block(4096, 'x');
  while (out.write(block.data(), block.size())) {
    out.flush();
  }
  return filler;
}

TEST_F(TicketFolderFaultTest, FullDiskKeepsTheEarlierTicketsWholeAndLeavesNoPartialFile) {
  SKIP_WITHOUT_MOUNTS();
  // 64 KiB: room for the five tickets of one order and little more.
  const ScopedMount small_disk = ScopedMount::Tmpfs(store_.TicketFolder(), 64 * 1024);
  PrintOrder();
  ASSERT_TRUE(NewFailures().empty());
  const std::map<std::string, std::string> printed = store_.Tickets();
  ASSERT_EQ(printed.size(), 5u);

  const fs::path filler = FillDisk(store_.TicketFolder());
  PrintOrder();
  ExpectEveryWriterFailed("Não foi possível gravar o arquivo");
  std::map<std::string, std::string> after = store_.Tickets();
  after.erase(filler.filename().string());
  EXPECT_EQ(after, printed) << "a reprint that does not fit must leave the earlier ticket";

  fs::remove(filler);
  ExpectPrintedAgain();
}

TEST(LogFaultTest, LogFolderNotWritableRaisesInTheCallerNamingTheFile) {
  SKIP_WITHOUT_MOUNTS();
  TempDir home("zlv_log_fault");
  FakeClock clock(DateTime::FromCivil(2026, 6, 1, 10, 0, 0));
  ActivityLog log(home.path(), clock);
  log.GravaLog("antes");
  const fs::path file = log.FileFor(clock.Now());
  const std::string before = ReadFileBytes(file);
  {
    const ScopedMount read_only = ScopedMount::ReadOnly(home.path() / "Dados" / "Zlv_Sinc");
    try {
      log.GravaLog("durante");
      FAIL() << "a log line that cannot be written must raise";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    // The next month's folder cannot be made either.
    clock.Set(DateTime::FromCivil(2026, 7, 1, 0, 0, 1));
    EXPECT_THROW(log.GravaLog("mês novo"), std::runtime_error);
  }
  EXPECT_EQ(ReadFileBytes(file), before);
  log.GravaLog("depois");
  EXPECT_TRUE(ReadFileBytes(log.FileFor(clock.Now())).ends_with(" - depois\r\n"));
}

}  // namespace
}  // namespace zlv::test
