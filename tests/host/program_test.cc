// End-to-end tests of the ZlvSinc executable: each starts the real program with ZLVSINC_HOME,
// ZLVSINC_REGISTRY and the lock and unit folders pointing into a temporary installation, and
// the reference central server (zlvsinc-central) on loopback where a test needs one.
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "child_process.h"
#include "health/health_record.h"
#include "host/startup.h"
#include "installation.h"
#include "platform/health_probe.h"
#include "platform/single_instance.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"
#include "sync/protocol_socket.h"

namespace zlv {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

const fs::path kProgram = fs::path(ZLV_BIN_DIR) / "ZlvSinc";
const fs::path kCentral = fs::path(ZLV_BIN_DIR) / "zlvsinc-central";

// Logged by every connection to the installation's embedded database.
constexpr const char* kDatabaseLine =
    "adcSincronismo: banco de dados SQLite (driver embutido), dialeto SQLite";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// zlvsinc-central serving its own database on a free loopback port.
class CentralServer {
 public:
  explicit CentralServer(const fs::path& folder, std::vector<std::string> options = {})
      : db_(folder / "central.db") {
    std::vector<std::string> args{"serve", "--port", "0", "--db", db_.string()};
    args.insert(args.end(), options.begin(), options.end());
    process_.emplace(kCentral, args, folder / "central.out", folder / "central.err");
    const std::regex listening("listening on 127\\.0\\.0\\.1:([0-9]+)");
    test::WaitUntil(
        [&] {
          std::smatch match;
          std::ifstream file(folder / "central.out");
          const std::string out((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
          if (std::regex_search(out, match, listening)) port_ = std::stoi(match[1]);
          return port_ != 0;
        },
        seconds(20));
  }
  ~CentralServer() {
    process_->Signal(SIGTERM);
    process_->WaitExit(seconds(10));
  }
  int port() const { return port_; }
  const fs::path& db() const { return db_; }
  // Its resident size (VmRSS) in KiB; -1 when it cannot be read.
  long ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(process_->pid()) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
  }

 private:
  fs::path db_;
  std::optional<test::ChildProcess> process_;
  int port_ = 0;
};

// A loopback connection for bytes no real client sends: a header alone, a payload that
// trickles.
class RawConnection {
 public:
  explicit RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RawConnection() { close(fd_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // A frame header announcing `size` bytes, then `payload`.
  void Send(std::size_t size, const std::string& payload = "") {
    const auto header = EncodeFrameHeader(size);
    std::string bytes(header.begin(), header.end());
    bytes += payload;
    EXPECT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // True once the other side has closed the connection.
  bool Closed() {
    pollfd ready{fd_, POLLIN, 0};
    char byte;
    return poll(&ready, 1, 0) == 1 && recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
  }

 private:
  int fd_;
};

class ProgramTest : public ::testing::Test {
 protected:
  std::unique_ptr<test::ChildProcess> Start(const std::vector<std::string>& args) {
    ++started_;
    return std::make_unique<test::ChildProcess>(kProgram, args, Out(started_), Err(started_));
  }
  // Runs the program to its end (60 s at most) and returns its exit status.
  int Run(const std::vector<std::string>& args) {
    auto process = Start(args);
    return process->WaitExit(seconds(60)).value_or(-1);
  }
  fs::path Out(int n) const { return install_.home() / ("out" + std::to_string(n) + ".txt"); }
  fs::path Err(int n) const { return install_.home() / ("err" + std::to_string(n) + ".txt"); }
  std::string LastOut() const { return test::ReadFileBytes(Out(started_)); }
  std::string LastErr() const { return test::ReadFileBytes(Err(started_)); }

  // The reference server in a folder of its own, holding count new orders for 0001/001.
  std::unique_ptr<CentralServer> CentralWithOrders(int count) {
    const fs::path folder = install_.home() / "central";
    fs::create_directories(folder);
    test::ChildProcess add(
        kCentral,
        {"add-orders", "--db", (folder / "central.db").string(), "--branch", "0001", "--store",
         "001", "--count", std::to_string(count), "--store-db", install_.database().string()},
        folder / "add.out", folder / "add.err");
    EXPECT_EQ(add.WaitExit(seconds(60)), 0) << test::ReadFileBytes(folder / "add.err");
    return std::make_unique<CentralServer>(folder);
  }

  int CountRows(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(install_.database().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    const int count = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
  }

  test::Installation install_;
  int started_ = 0;
};

TEST_F(ProgramTest, ACashRegisterNotSetUpIsRefusedAndTheProcessEnds) {
  EXPECT_EQ(Run({}), 78);
  EXPECT_EQ(install_.Log(),
            (std::vector<std::string>{kDatabaseLine, "FormCreate", kCaixaNaoParametrizado}));
  EXPECT_NE(LastErr().find(kCaixaNaoParametrizado), std::string::npos);
}

TEST_F(ProgramTest, ABadFirstParameterIsLoggedAndEndsTheProcessLikeAnUnsetRegister) {
  EXPECT_EQ(Run({"0001_001"}), 78);
  EXPECT_EQ(Run({"1_2_3_4_5_6_7_8_9_10_11_"}), 78);
  const std::vector<std::string> log = install_.Log();
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[2],
            "LeParametros: Erro -> Parâmetro \"0001_001\" inválido: a última parte não termina "
            "com \"_\"");
  EXPECT_EQ(log[3], kCaixaNaoParametrizado);
  EXPECT_EQ(log[6],
            "LeParametros: Erro -> Parâmetro \"1_2_3_4_5_6_7_8_9_10_11_\" inválido: mais de 10 "
            "partes");
}

TEST_F(ProgramTest, AMissingStoreDatabaseEndsAOnceCheckWithItsCause) {
  fs::remove(install_.database());
  EXPECT_EQ(Run({"/ONCE", "0001_001_"}), 66);
  const std::vector<std::string> log = install_.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("O banco de dados da loja não existe"), std::string::npos) << log[0];
  EXPECT_NE(LastErr().find("O banco de dados da loja não existe"), std::string::npos);
}

// Regression: a store whose database server came up after the cash register stayed dark all
// day: start-up ended the process when the database did not open, and nothing started it
// again. Now the program waits on its timer and finishes start-up at the tick the database
// opens (one real 30 s tick here).
TEST_F(ProgramTest, AStoreDatabaseThatOpensLateIsWaitedForAndTheOrdersFlow) {
  const auto central = CentralWithOrders(2);
  ASSERT_NE(central->port(), 0);
  install_.SetRegistry("IpServer=127.0.0.1:" + std::to_string(central->port()) + "\n");
  const fs::path later = install_.home() / "ZlvSinc.db.later";
  fs::rename(install_.database(), later);

  auto program = Start({"0001_001_"});
  const std::string missing = "adcSincronismo: Erro -> O banco de dados da loja não existe: " +
                              install_.database().string();
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(install_.Log(), missing); }, seconds(20)))
      << LastErr();
  EXPECT_TRUE(program->Running()) << "start-up ended instead of waiting for the database";
  fs::rename(later, install_.database());

  EXPECT_TRUE(test::WaitUntil(
      [&] {
        return CountRows("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL") == 2;
      },
      seconds(50)));
  program->Signal(SIGTERM);
  EXPECT_EQ(program->WaitExit(seconds(20)), 0);
  const std::vector<std::string> log = install_.Log();
  const std::vector<std::string> expected = {
      missing, "adcSincronismo: reconectando ao banco de dados da loja",
      "adcSincronismo: conectado ao banco de dados da loja", kDatabaseLine, "FormCreate"};
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 5), expected);
}

TEST_F(ProgramTest, OnceSynchronisesAgainstTheCentralServerAndEndsNormally) {
  const auto central = CentralWithOrders(3);
  ASSERT_NE(central->port(), 0);
  install_.SetRegistry("IpServer=127.0.0.1:" + std::to_string(central->port()) + "\n");

  EXPECT_EQ(Run({"/ONCE", "0001_001_"}), 0) << LastErr();

  const std::vector<std::string> log = install_.Log();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], kDatabaseLine);
  EXPECT_EQ(log[1], "FormCreate");
  EXPECT_EQ(log[2], "Conectado no servidor.");
  const auto begin =
      std::find(log.begin(), log.end(), "INICIO -> SincronizaDLV -> Filial: 0001 - Loja: 001");
  const auto end = std::find(log.begin(), log.end(), "FIM -> SincronizaDLV");
  EXPECT_TRUE(begin != log.end() && end != log.end() && begin < end);
  EXPECT_EQ(CountRows("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 3);
}

// The log and the tickets hold the customers' names, phones and addresses: whatever umask the
// shell that started the program had, what it creates is its own account's alone.
TEST_F(ProgramTest, FilesARunCreatesAreItsAccountsAloneWhateverTheUmask) {
  const auto central = CentralWithOrders(1);
  install_.SetRegistry("IpServer=127.0.0.1:" + std::to_string(central->port()) + "\n");
  const mode_t shell_umask = umask(022);
  const int status = Run({"/ONCE", "0001_001_"});
  umask(shell_umask);
  ASSERT_EQ(status, 0) << LastErr();

  const auto mode = [](const fs::path& path) { return fs::status(path).permissions(); };
  const fs::path data = install_.home() / "Dados";
  int files = 0;
  for (const fs::path& folder : {data / "Zlv_Sinc", data / "Imp"}) {
    EXPECT_EQ(mode(folder), fs::perms::owner_all) << folder;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      const fs::perms expected = entry.is_directory()
                                     ? fs::perms::owner_all
                                     : fs::perms::owner_read | fs::perms::owner_write;
      EXPECT_EQ(mode(entry.path()), expected) << entry.path();
      files += entry.is_regular_file() ? 1 : 0;
    }
  }
  EXPECT_GE(files, 3) << "a log, the printer routing and at least one ticket";
}

// A single cycle tells the technician how it ended: a status of its own for each way, and one
// line on standard output saying what happened and where the day's log is.
TEST_F(ProgramTest, OnceEndsWithAStatusAndASummaryLineOfItsOwnForEachWayItEnds) {
  const auto central = CentralWithOrders(2);
  ASSERT_NE(central->port(), 0);
  const fs::path later = install_.home() / "ZlvSinc.db.later";
  std::optional<SingleInstanceLock> other;

  const struct {
    std::function<void()> arrange;
    const char* parameter;
    int status;
    std::string summary;
  } cases[] = {
      {[&] { other.emplace("ZLVSINC"); }, "0001_001_", 75,
       "outro sincronizador já está em execução nesta máquina"},
      {[&] { other.reset(); }, "0001_001", 64, "parâmetro ou Zelvora.cds inválido"},
      {[] {}, "0001_002_", 78, "caixa não parametrizado"},
      {[&] { install_.SetRegistry(""); }, "0001_001_", 68,
       "endereço do servidor central (IpServer) ausente ou inválido"},
      {[&] { install_.SetRegistry("IpServer=127.0.0.1:abc\n"); }, "0001_001_", 68,
       "endereço do servidor central (IpServer) ausente ou inválido"},
      {[&] { install_.SetRegistry("IpServer=127.0.0.1:1\n"); }, "0001_001_", 69,
       "servidor central inacessível"},
      {[&] {
         install_.SetRegistry("IpServer=127.0.0.1:" + std::to_string(central->port()) + "\n");
       },
       "0001_001_", 0, "ciclo concluído: 2 pedido(s) baixado(s), 0 recusado(s)"},
      {[&] { install_.Sql("DROP TABLE LOJA"); }, "0001_001_", 70,
       "ciclo concluído com falhas, veja o log"},
      {[&] { fs::rename(install_.database(), later); }, "0001_001_", 66,
       "banco de dados da loja indisponível"},
      {[&] {
         fs::rename(later, install_.database());
         install_.Sql("DROP TABLE CAIXA");
       },
       "0001_001_", 1, "a inicialização falhou"},
  };
  const std::regex log_file("; log: " + install_.home().string() +
                            R"(/Dados/Zlv_Sinc/\d{4}/LogZlvSinc\d{6}\.txt\n$)");
  for (const auto& c : cases) {
    c.arrange();
    EXPECT_EQ(Run({"/ONCE", c.parameter}), c.status) << c.summary << "\n" << LastErr();
    const std::string out = LastOut();
    EXPECT_TRUE(out.starts_with("ZlvSinc /ONCE: " + c.summary)) << out;
    EXPECT_TRUE(std::regex_search(out, log_file)) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
}

TEST_F(ProgramTest, AnIpServerPortThatIsNotANumberFailsTheConnectionAndTheTickGoesOn) {
  install_.SetRegistry("IpServer=127.0.0.1:abc\n");
  EXPECT_EQ(Run({"0001_001_", "-once"}), 68) << LastErr();
  const std::vector<std::string> log = install_.Log();
  const auto failure = std::find_if(log.begin(), log.end(), [](const std::string& line) {
    return line.starts_with("Sem conexão com o servidor ") &&
           line.find("127.0.0.1:abc") != std::string::npos;
  });
  EXPECT_TRUE(failure != log.end()) << "the failed connection is logged, naming the value";
}

TEST_F(ProgramTest, ASecondDesktopInstanceEndsAtOnceWhileTheFirstRuns) {
  auto first = Start({"0001_001_"});
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(install_.Log(), "FormCreate"); }, seconds(30)));

  EXPECT_EQ(Run({"0001_001_"}), 0);
  const std::vector<std::string> log = install_.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "FormCreate"), 1)
      << "the second instance did not start up";
  EXPECT_TRUE(LastErr().empty()) << "it ends silently";
  EXPECT_TRUE(first->Running());

  first->Signal(SIGTERM);  // the stop request
  EXPECT_EQ(first->WaitExit(seconds(30)), 0);
}

TEST_F(ProgramTest, InstallAndUninstallWriteAndRemoveTheUnitAndDoNothingElse) {
  const fs::path unit = install_.unit_folder() / "SincPedido.service";
  EXPECT_EQ(Run({"/INSTALL", "/SILENT"}), 0) << LastErr();
  EXPECT_TRUE(LastOut().empty()) << "SILENT";
  const std::string text = test::ReadFileBytes(unit);
  EXPECT_NE(text.find("ExecStart=\"" + fs::canonical(kProgram).string() + "\""), std::string::npos)
      << text;
  EXPECT_NE(text.find("Description=Sincroniza Pedido"), std::string::npos);
  EXPECT_FALSE(fs::exists(install_.home() / "Dados" / "Zlv_Sinc")) << "no start-up ran";

  EXPECT_EQ(Run({"-uninstall"}), 0);
  EXPECT_NE(LastOut().find("Serviço SincPedido removido."), std::string::npos);
  EXPECT_FALSE(fs::exists(unit));
  EXPECT_EQ(Run({"\\UnInstall"}), 1);
  EXPECT_NE(LastErr().find("não está instalado"), std::string::npos) << LastErr();
}

TEST_F(ProgramTest, ASecondStartBesideTheRunningServiceEndsAtOnceAndLogsNothing) {
  const passwd* user = getpwuid(geteuid());
  ASSERT_NE(user, nullptr);
  test::WriteFileBytes(install_.unit_folder() / "SincPedido.service",
                       std::string("[Service]\nExecStart=/x\nUser=") + user->pw_name + "\n");
  auto service = Start({"0001_001_"});
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(install_.Log(), "FormCreate"); }, seconds(30)));

  EXPECT_EQ(Run({"0001_001_"}), 0) << LastErr();
  const std::vector<std::string> log = install_.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "FormCreate"), 1)
      << "the second process, in service mode as well, did not start up";
  EXPECT_TRUE(LastErr().empty() && LastOut().empty()) << "it ends silently";
  EXPECT_TRUE(service->Running());

  EXPECT_EQ(Run({"/UNINSTALL", "/SILENT"}), 0) << "registering does not wait for the lock";
  service->Signal(SIGTERM);
  EXPECT_EQ(service->WaitExit(seconds(30)), 0);
}

// systemd-analyze checks what systemd itself would refuse: a unit written from a folder with
// a space and accented letters, with the variables it passes on. A machine without the tool
// fails here rather than skipping the check (scripts/install-deps installs it).
TEST_F(ProgramTest, EveryUnitTheProgramWritesPassesSystemdVerify) {
  fs::path analyze;
  for (const char* folder : {"/usr/bin", "/bin", "/usr/local/bin"}) {
    if (access((fs::path(folder) / "systemd-analyze").c_str(), X_OK) == 0) {
      analyze = fs::path(folder) / "systemd-analyze";
      break;
    }
  }
  ASSERT_FALSE(analyze.empty()) << "systemd-analyze is missing (Debian package systemd)";

  const fs::path folder = install_.home() / "Zlv Sinc ação";
  fs::create_directories(folder);
  fs::copy_file(kProgram, folder / "ZlvSinc");  // a copy: the unit names the program's real path
  test::ScopedEnv registry("ZLVSINC_REGISTRY", (folder / "registro 100%.conf").string());
  test::ChildProcess install(folder / "ZlvSinc", {"/INSTALL", "/SILENT"}, Out(0), Err(0));
  ASSERT_EQ(install.WaitExit(seconds(60)), 0) << test::ReadFileBytes(Err(0));

  int checked = 0;
  for (const auto& entry : fs::directory_iterator(install_.unit_folder())) {
    if (entry.path().extension() != ".service") continue;
    ++checked;
    const fs::path out = install_.home() / "verify.txt";
    test::ChildProcess verify(analyze, {"verify", "--man=no", entry.path().string()}, out, out);
    EXPECT_EQ(verify.WaitExit(seconds(60)), 0)
        << test::ReadFileBytes(entry.path()) << test::ReadFileBytes(out);
    EXPECT_EQ(test::ReadFileBytes(out).find(entry.path().filename().string()), std::string::npos)
        << test::ReadFileBytes(out);
  }
  EXPECT_EQ(checked, 1);
}

// Header-only connections announcing 64 MiB, a slow-loris crowd, a 64 MiB method name, a
// method name to echo and a 160,000-field packet: the hub answers a good client within a
// second throughout, stays small, and closes what does not complete in time.
TEST_F(ProgramTest, TheCentralServerKeepsAnsweringAndStaysSmallWhateverClientsSend) {
  const fs::path folder = install_.home() / "central";
  fs::create_directories(folder);
  CentralServer central(folder, {"--idle-timeout-ms", "2000", "--request-timeout-ms", "1000",
                                 "--max-connections", "250"});
  const auto call = [&](const std::string& method, const std::vector<Variant>& params) {
    // Built before connecting: a large request takes a while to build (longer under the
    // sanitizers), and the hub rightly hangs up on a connection idle that long.
    const std::string request = BuildRequest(1, method, params);
    FramedConnection client = FramedConnection::Open("127.0.0.1", central.port(), seconds(10));
    client.Send(request, seconds(10));
    return ParseResponse(client.Receive(seconds(10)), 1);
  };
  const auto good_client_answered_within_a_second = [&] {
    const auto start = std::chrono::steady_clock::now();
    call("BaixaPedidos", {Variant("0001"), Variant("001")});
    return std::chrono::steady_clock::now() - start < seconds(1);
  };
  const auto refusal = [&](const std::string& method, const std::vector<Variant>& params) {
    try {
      call(method, params);
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("answered");
  };

  // What the hub holds of its own, before any client: the sanitizers' build holds several
  // times the plain one's, so the growth is what is measured.
  const auto idle_kib = central.ResidentKiB();
  std::vector<std::unique_ptr<RawConnection>> hostile;
  for (int i = 0; i < 8; ++i) {
    hostile.push_back(std::make_unique<RawConnection>(central.port()));
    hostile.back()->Send(kMaxFramePayload);
  }
  for (int i = 0; i < 200; ++i) {
    hostile.push_back(std::make_unique<RawConnection>(central.port()));
    hostile.back()->Send(1000, "{");
  }
  EXPECT_TRUE(good_client_answered_within_a_second());
  // One announced payload held at once would be 64 MiB.
  EXPECT_LT(central.ResidentKiB() - idle_kib, 48 * 1024);
  EXPECT_TRUE(test::WaitUntil(
      [&] {
        return std::all_of(hostile.begin(), hostile.end(), [](auto& c) { return c->Closed(); });
      },
      seconds(5)));

#ifdef ZLV_SANITIZED
  const std::size_t huge = kMaxTextBytes + 1;
#else
  const std::size_t huge = kMaxFramePayload - 100;
#endif
  const std::string huge_method = refusal(std::string(huge, 'M'), {});
  EXPECT_NE(huge_method.find("bytes por texto"), std::string::npos) << huge_method;
  EXPECT_TRUE(good_client_answered_within_a_second());
  const std::string echoed = refusal(std::string(100'000, 'M'), {});
  EXPECT_NE(echoed.find("[... 100000 bytes]"), std::string::npos);
  EXPECT_LT(echoed.size(), 300u);
  DataPacket wide;
  for (int i = 0; i < 160'000; ++i) wide.fields.push_back({"C" + std::to_string(i)});
  const std::string wide_packet =
      refusal("UpdateSincronismo", {Variant(wide), Variant(DataPacket{})});
  EXPECT_NE(wide_packet.find("campos"), std::string::npos) << wide_packet;
  EXPECT_TRUE(good_client_answered_within_a_second());
  EXPECT_LT(central.ResidentKiB() - idle_kib, 256 * 1024);
}

// The /STATUS command on the real program. The health record's readings of the steady clock
// are moved back the way a process that stopped long ago would have left them.
class StatusTest : public ProgramTest {
 protected:
  fs::path RecordFile() const { return HealthRecordPath(install_.home()); }
  // Every steady reading of the record moved back by seconds.
  void Age(double seconds) const {
    HealthRecord record = *ReadHealthRecord(RecordFile());
    for (Instant* instant : {&record.started, &record.heartbeat}) instant->steady -= seconds;
    for (auto* instant : {&record.last_download, &record.last_upload}) {
      if (*instant) (*instant)->steady -= seconds;
    }
    if (record.last_cycle) {
      record.last_cycle->started.steady -= seconds;
      record.last_cycle->ended.steady -= seconds;
    }
    WriteHealthRecord(RecordFile(), record);
  }
  nlohmann::json StatusJson() {
    EXPECT_GE(Run({"0001_001_", "/STATUS", "/JSON"}), 0);
    return nlohmann::json::parse(LastOut());
  }
};

TEST_F(StatusTest, AStoreWithRefusedOrdersOwedTicketsAndAnOldBacklogNeedsAttention) {
  const SystemClock clock;
  HealthRecord record;
  record.started = record.heartbeat = ReadInstant(clock);
  record.boot_id = platform::BootId();
  record.last_download = ReadInstant(clock);
  record.last_upload = Instant{clock.Now(), clock.Steady() - 15 * 60};
  fs::create_directories(RecordFile().parent_path());
  WriteHealthRecord(RecordFile(), record);
  install_.Sql(
      "INSERT INTO LOGSINCDLV (CDFILIAL, CDLOJA, NRVENDARESTAUX, DSLOGMSG) VALUES "
      "('0001', '001', '777', 'velho'), ('0001', '001', '777', 'O OPERADOR 9 NAO FOI BAIXADO');"
      "INSERT INTO ZLVSINCIMPPEND (CDFILIAL, NRVENDAREST, CDLOJA, NRVENDARESTAUX, DTINCLUSAO) "
      "VALUES ('0001', '0000000001', '001', '776', datetime('now', 'localtime', '-5 minutes'));"
      "INSERT INTO VENDAREST (CDFILIAL, CDLOJA, NRVENDAREST, DTHRABERMESA) VALUES "
      "('0001', '001', '0000000002', datetime('now', 'localtime'));"
      "INSERT INTO COMANDAVEN (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, DSCOMANDA, DTINCLUSAO) "
      "VALUES ('0001', '001', '0000000002', '1', 'DLV_1', "
      "datetime('now', 'localtime', '-15 minutes'));");

  EXPECT_EQ(Run({"0001_001_", "/STATUS"}), 1) << LastOut();
  const std::string text = LastOut();
  for (const char* fact :
       {"Sincronizador: parado", "pedido 777: 2 tentativa(s)", "O OPERADOR 9 NAO FOI BAIXADO",
        "Tickets pendentes há mais de 2 min: 1",
        "Comandas não sincronizadas: 1 (a mais antiga há 15 min)",
        "comandas não sincronizadas há mais de 10 min", "Situação: PRECISA DE ATENÇÃO (1)"}) {
    EXPECT_NE(text.find(fact), std::string::npos) << fact << "\n" << text;
  }
  const nlohmann::json json = StatusJson();
  EXPECT_EQ(json["status"], 1);
  EXPECT_EQ(json["store"]["refused_today"][0]["attempts"], 2);
  EXPECT_EQ(json["store"]["owed_tickets"], 1);
  EXPECT_EQ(json["synchroniser"]["running"], false);
}

TEST_F(StatusTest, ARunningStoreIsHealthyAndOneKilledThreeMinutesAgoIsNotWorking) {
  const auto central = CentralWithOrders(1);
  install_.SetRegistry("IpServer=127.0.0.1:" + std::to_string(central->port()) + "\n");
  const auto program = Start({"0001_001_"});
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        try {
          const auto record = ReadHealthRecord(RecordFile());
          return record && record->last_cycle && record->last_download;
        } catch (const std::exception&) {
          return false;  // a reader may not see a file the writer is renaming into place
        }
      },
      seconds(30)));

  EXPECT_EQ(Run({"0001_001_", "/STATUS"}), 0) << LastOut();
  EXPECT_NE(LastOut().find("Sincronizador: rodando (modo desktop"), std::string::npos);
  const nlohmann::json healthy = StatusJson();
  EXPECT_EQ(healthy["status"], 0);
  EXPECT_EQ(healthy["last_cycle"]["counters"]["orders_inserted"], 1);

  // The metrics file as the textfile collector's own parser reads it.
  const fs::path metrics = install_.home() / "Dados" / "metrics" / "zlvsinc.prom";
  const fs::path parsed = install_.home() / "parsed.txt";
  const std::string parse =
      "/usr/bin/python3 -c 'import sys; from prometheus_client.parser import "
      "text_string_to_metric_families as p; print(\" \".join(f.name + \"=\" + "
      "str(f.samples[0].value) for f in p(open(sys.argv[1]).read())))' " +
      metrics.string() + " > " + parsed.string() + " 2>&1";
  ASSERT_EQ(std::system(parse.c_str()), 0) << test::ReadFileBytes(parsed);
  const std::string families = test::ReadFileBytes(parsed);
  for (const char* family : {"zlvsinc_orders_inserted=1.0", "zlvsinc_cycles=1.0",
                             "zlvsinc_last_cycle_end_timestamp_seconds="}) {
    EXPECT_NE(families.find(family), std::string::npos) << family << "\n" << families;
  }

  program->Signal(SIGKILL);
  program->WaitExit(seconds(10));
  Age(180);
  EXPECT_EQ(Run({"0001_001_", "/STATUS"}), 2) << LastOut();
  EXPECT_NE(LastOut().find("Sincronizador: parado"), std::string::npos) << LastOut();
  EXPECT_NE(LastOut().find("sem sinal de vida há 3 min"), std::string::npos) << LastOut();
}

}  // namespace
}  // namespace zlv
