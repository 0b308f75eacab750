// zlvsinc-central as the demo and the end-to-end tests use it: a separate serving process,
// stopped by SIGTERM, fed by add-orders on the same database file.
#include "central/central_cli.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "central/api_key.h"
#include "central/hub_test_backends.h"
#include "central/open_hub_store.h"
#include "log/activity_log.h"
#include "support/https_server.h"
#include "support/temp_dir.h"
#include "sync/central_client.h"

extern char** environ;

namespace zlv {
namespace {

using namespace std::chrono_literals;

struct CommandResult {
  int status;
  std::string out, err;
};

CommandResult RunCommand(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = RunCentralCommand(args, out, err);
  return {status, out.str(), err.str()};
}

// The server executable in a child process; its first output line names the port.
class ServingProcess {
 public:
  explicit ServingProcess(const std::string& db, const std::vector<std::string>& more = {}) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    const std::string exe = std::string(ZLV_BIN_DIR) + "/zlvsinc-central";
    std::vector<std::string> args = {exe, "serve", "--db", db, "--port", "0"};
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    out_ = pipe_fds[0];
    if (rc != 0) throw std::runtime_error("cannot start " + exe);
  }
  ~ServingProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
  }

  // The next line of output, waiting at most a few seconds for it.
  std::string NextLine() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (pending_.find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd fd{out_, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = std::min(pending_.find('\n'), pending_.size());
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
  }
  std::string FirstLine() { return NextLine(); }

  // Sends SIGTERM and waits for the exit; the exit status, or -1 when it did not stop.
  int Terminate() {
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;  // read but not yet returned
};

// The same commands on each back end: --db names an SQLite file or a PostgreSQL URI.
class CentralCommandLine : public ::testing::TestWithParam<test::HubBackend> {
 protected:
  test::TempDir home{"zlv-central-cli"};
  const std::string db = test::NewHubLocation(GetParam(), home.path());
};

INSTANTIATE_TEST_SUITE_P(Backends, CentralCommandLine,
                         ::testing::Values(test::HubBackend::kSqlite, test::HubBackend::kPostgres),
                         ::testing::PrintToStringParamName());

TEST_P(CentralCommandLine, ServesOrdersAddedByAnotherProcessAndStopsOnSigterm) {
  ServingProcess server(db);
  std::smatch match;
  const std::string first = server.FirstLine();
  ASSERT_TRUE(std::regex_match(first, match, std::regex(R"(listening on 127\.0\.0\.1:(\d+))")))
      << first;
  const int port = std::stoi(match[1]);
  ASSERT_GT(port, 0);

  const CommandResult added =
      RunCommand({"add-orders", "--db", db, "--branch", "0001", "--store", "001", "--count", "4",
                  "--scheduled", "1", "--seed", "9"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.out.find("added 4 orders (1 scheduled) for 0001/001"), std::string::npos);

  FakeClock clock(DateTime::FromCivil(2026, 3, 14, 12, 0, 0));
  ActivityLog log(home.path(), clock);
  CentralClient client(log, [port] { return TcpEndpoint("127.0.0.1", port); });
  client.Connect();
  const Variant download = client.BaixaPedidos("0001", "001");
  ASSERT_TRUE(download.IsArray());
  EXPECT_EQ(download.AsArray().at(2).AsPacket().rows.size(), 4u);

  EXPECT_EQ(server.Terminate(), 0);
  EXPECT_THROW(client.BaixaPedidos("0001", "001"), TransportError);
}

TEST_P(CentralCommandLine, StatusCountsWhatWaitsAndBadCommandLinesAreRefused) {
  for (int run = 0; run < 2; ++run) {  // makes the schema, then finds it made
    const CommandResult migrated = RunCommand({"migrate", "--db", db});
    EXPECT_EQ(migrated.status, 0) << migrated.err;
    EXPECT_EQ(migrated.out, "schema up to date\n");
  }
  ASSERT_EQ(
      RunCommand({"add-orders", "--db", db, "--branch", "0001", "--store", "001", "--count", "2"})
          .status,
      0);
  ASSERT_EQ(RunCommand({"add-product-problem", "--db", db, "--product", "10001", "--arvprod", "X",
                        "--message", "M"})
                .status,
            0);
  const CommandResult status = RunCommand({"status", "--db", db});
  EXPECT_EQ(status.status, 0);
  EXPECT_NE(status.out.find("branch 0001 store 001\n  orders pending: 2\n"), std::string::npos)
      << status.out;
  EXPECT_NE(status.out.find("product problems: 1"), std::string::npos);

  EXPECT_EQ(RunCommand({}).status, 2);
  EXPECT_EQ(RunCommand({"serve"}).status, 2);  // --db missing
  EXPECT_EQ(RunCommand({"add-orders", "--db", db, "--branch", "0001", "--store", "001", "--count",
                        "2", "--scheduled", "3"})
                .status,
            2);
  EXPECT_EQ(RunCommand({"status", "--db", db, "--count", "x"}).status, 2);
  const CommandResult missing_seed =
      RunCommand({"add-orders", "--db", db, "--branch", "0001", "--store", "001", "--count", "1",
                  "--seed-sql", "/nonexistent"});
  EXPECT_EQ(missing_seed.status, 1);
  EXPECT_NE(missing_seed.err.find("/nonexistent"), std::string::npos);
}

TEST_P(CentralCommandLine, StoresBranchesAndKeysAreRegisteredAndAKeyIsKeptOnlyAsItsHash) {
  EXPECT_EQ(RunCommand({"add-store", "--db", db, "--branch", "0001", "--store", "001", "--name",
                        "Centro", "--time-zone", "America/Sao_Paulo/../../etc"})
                .status,
            2);
  ASSERT_EQ(RunCommand({"add-store", "--db", db, "--branch", "0001", "--store", "001", "--name",
                        "Centro", "--time-zone", "America/Sao_Paulo"})
                .status,
            0);
  for (const auto& set :
       std::vector<std::vector<std::string>>{{"--client", "000000001", "--receipt-card", "02"},
                                             {"--seller", "0002", "--receipt-cash", "01"}}) {
    std::vector<std::string> args = {"set-branch", "--db", db, "--branch", "0001"};
    args.insert(args.end(), set.begin(), set.end());
    ASSERT_EQ(RunCommand(args).status, 0);
  }
  const CommandResult made = RunCommand(
      {"add-api-key", "--db", db, "--channel", "web", "--branch", "0001", "--branch", "0002"});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string key = made.out.substr(0, made.out.find('\n'));
  EXPECT_TRUE(std::regex_match(key, std::regex("zlvk_[0-9a-f]{64}"))) << key;
  EXPECT_EQ(RunCommand({"add-api-key", "--db", db, "--support", "--branch", "0001"}).status, 2);
  EXPECT_EQ(RunCommand({"add-api-key", "--db", db, "--channel", "app"}).status, 2);

  const std::unique_ptr<HubStore> hub = OpenHubStore(db);
  EXPECT_EQ(hub->FindStore("0001", "001")->time_zone, "America/Sao_Paulo");
  EXPECT_FALSE(hub->FindStore("0001", "002"));
  const BranchSettings settings = *hub->FindBranchSettings("0001");
  EXPECT_EQ(settings.client, "000000001");
  EXPECT_EQ(settings.seller, "0002");
  EXPECT_EQ(settings.receipt_types,
            (std::map<std::string, std::string>{{"card", "02"}, {"cash", "01"}}));
  EXPECT_FALSE(hub->FindApiKey(key));
  const auto found = hub->FindApiKey(ApiKeyHash(key));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->channel, "web");
  EXPECT_EQ(found->branches, (std::vector<std::string>{"0001", "0002"}));
  EXPECT_FALSE(found->support);
}

// An installation may hold two tokens at once while a new one is rolled out; revoking one by
// its id leaves the other, and the hub keeps neither token itself.
TEST_P(CentralCommandLine, InstallationTokensAreKeptAsHashesAndRevokedOneByOne) {
  std::vector<std::string> tokens, ids;
  for (int i = 0; i < 2; ++i) {
    const CommandResult made = RunCommand({"add-installation", "--db", db, "--branch", "0001",
                                           "--register", "001", "--store", "001"});
    ASSERT_EQ(made.status, 0) << made.err;
    tokens.push_back(made.out.substr(0, made.out.find('\n')));
    EXPECT_TRUE(std::regex_match(tokens.back(), std::regex("zlvt_[0-9a-f]{64}"))) << made.out;
    std::smatch id;
    ASSERT_TRUE(std::regex_search(made.err, id, std::regex("token id ([0-9a-f]{12})"))) << made.err;
    ids.push_back(id[1]);
  }
  EXPECT_EQ(RunCommand({"revoke-installation", "--db", db, "--branch", "0001", "--register", "002",
                        "--token-id", ids[0]})
                .status,
            1)
      << "another installation's token is not this one's to revoke";
  ASSERT_EQ(RunCommand({"revoke-installation", "--db", db, "--branch", "0001", "--register", "001",
                        "--token-id", ids[0]})
                .status,
            0);

  const std::unique_ptr<HubStore> hub = OpenHubStore(db);
  EXPECT_FALSE(hub->FindInstallationToken(tokens[0]));
  const auto revoked = hub->FindInstallationToken(ApiKeyHash(tokens[0]));
  const auto valid = hub->FindInstallationToken(ApiKeyHash(tokens[1]));
  ASSERT_TRUE(revoked && valid);
  EXPECT_TRUE(revoked->revoked);
  EXPECT_FALSE(valid->revoked);
  EXPECT_EQ(valid->store, "001");
}

TEST_P(CentralCommandLine, PostOrdersSendsEachOrderOnceThroughTheApiAndStopsAtARefusal) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"add-store", "--branch", "0001", "--store", "001", "--name", "Centro", "--time-zone",
            "America/Sao_Paulo"},
           {"set-branch", "--branch", "0001", "--client", "0001", "--seller", "9999", "--operator",
            "0001", "--origin", "DLV_ZLV", "--receipt-cash", "001", "--receipt-card", "002",
            "--receipt-voucher", "010", "--receipt-online", "005"}}) {
    std::vector<std::string> command = {args[0], "--db", db};
    command.insert(command.end(), args.begin() + 1, args.end());
    ASSERT_EQ(RunCommand(command).status, 0) << command[0];
  }
  const CommandResult made =
      RunCommand({"add-api-key", "--db", db, "--channel", "demo", "--branch", "0001"});
  ASSERT_EQ(made.status, 0) << made.err;
  ServingProcess server(db, {"--http-port", "0"});
  server.NextLine();
  std::smatch match;
  const std::string http = server.NextLine();
  ASSERT_TRUE(std::regex_match(http, match, std::regex(R"(http listening on (127\.0\.0\.1:\d+))")))
      << http;
  const std::string url = "http://" + match[1].str(), key = made.out.substr(0, made.out.find('\n'));
  const std::vector<std::string> post = {"post-orders", "--url",  url,       "--key", key,
                                         "--branch",    "0001",   "--store", "001",   "--count",
                                         "3",           "--seed", "7"};

  const CommandResult first = RunCommand(post);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_TRUE(std::regex_match(first.out, std::regex(R"((demo-7-[123] \d+ 201\n){3})")))
      << first.out;
  const CommandResult status = RunCommand({"status", "--db", db});
  EXPECT_NE(status.out.find("branch 0001 store 001\n  orders pending: 3\n"), std::string::npos)
      << status.out;
  // Sent again, the hub knows each order and answers with its first id.
  const CommandResult again = RunCommand(post);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, std::regex_replace(first.out, std::regex(" 201\n"), " 200\n"));

  std::vector<std::string> elsewhere = post;
  elsewhere[8] = "002";  // a store the hub does not know
  elsewhere[12] = "8";   // new ids: the hub answers an id it knows before it looks at the store
  const CommandResult refused = RunCommand(elsewhere);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("refused order demo-8-1: 404 /problems/unknown-store: /store store "
                             "0001/002 is not registered"),
            std::string::npos)
      << refused.err;
}

// Half a TLS pair is a wrong command line; a certificate that cannot be read or a key of
// another certificate stops the start, naming the file and OpenSSL's reason, before anything
// claims to listen.
TEST(CentralCommandLineTls, HalfAPairIsRefusedAndUnusableFilesStopTheStart) {
  test::TempDir home{"zlv-central-tls"};
  test::MakeTestCertificate(home.path(), "hub", "/CN=127.0.0.1");
  test::MakeTestCertificate(home.path(), "other", "/CN=127.0.0.1");
  const std::string db = test::NewHubLocation(test::HubBackend::kSqlite, home.path());
  const std::string cert = (home.path() / "hub.pem").string();
  const std::vector<std::string> serve = {"serve", "--db", db, "--http-port", "0"};
  auto with = [&serve](std::vector<std::string> more) {
    more.insert(more.begin(), serve.begin(), serve.end());
    return RunCommand(more);
  };

  const CommandResult half = with({"--tls-cert", cert});
  EXPECT_EQ(half.status, 2);
  EXPECT_NE(half.err.find("--tls-cert and --tls-key go together"), std::string::npos) << half.err;

  struct Case {
    std::string cert, key, file, reason;
  };
  const std::string other_key = (home.path() / "other.key").string();
  const std::string missing = (home.path() / "missing.pem").string();
  for (const Case& c : {Case{cert, other_key, other_key, "key values mismatch"},
                        Case{missing, other_key, missing, "No such file or directory"}}) {
    const CommandResult refused = with({"--tls-cert", c.cert, "--tls-key", c.key});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(c.file + ": " + c.reason), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
}

}  // namespace
}  // namespace zlv
