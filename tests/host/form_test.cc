// The main form over the real cycle, as the program runs it, driven tick by tick on the fake
// clock: the real reference central server, the real SQLite store behind the fault injector
// (reached through the form's own store connection), a store database that opens late and a
// link that is lost for a stretch of ticks.
#include "host/sinc_form.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "host/main_loop.h"
#include "log_match.h"
#include "platform/quit_signal.h"
#include "support/temp_dir.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

class NoCommands : public CommandRunner {
 public:
  void RestartProgram(const RestartRequest&) override { ++restarts; }
  void FlushDns() override {}
  int restarts = 0;
};

// A TSincForm on the installation's folder, its store and its central server.
class FormOnInstallation {
 public:
  explicit FormOnInstallation(SyncInstallation& s, std::string first_parameter = "0001_001_")
      : s_(s), key_(s.folder() / "registry.conf") {
    WriteFileBytes(s.folder() / "registry.conf",
                   "IpServer=127.0.0.1:" + std::to_string(s.server_port()) + "\n");
    form_ = std::make_unique<TSincForm>(
        SincFormSetup{.first_parameter = std::move(first_parameter),
                      .exe_folder = s.folder(),
                      .program_folder = s.folder(),
                      .image_name = "zlv-no-such-image",
                      .start_watchdog = false,
                      .wait_for_database = true,
                      .config_key = key_,
                      .clock = s.clock(),
                      .runner = runner_,
                      .store_opener = [&s] { return s.db().NewLink(); }});
  }
  TSincForm& form() { return *form_; }
  // The timer's next tick, as the main loop runs it.
  void Tick() {
    s_.clock().Advance(30);
    RunContainedTick([this] { form_->Tick(); }, form_->log());
  }

 private:
  SyncInstallation& s_;
  FileConfigKey key_;
  NoCommands runner_;
  std::unique_ptr<TSincForm> form_;
};

constexpr const char* kReconnecting = "adcSincronismo: reconectando ao banco de dados da loja";
constexpr const char* kReconnected = "adcSincronismo: conectado ao banco de dados da loja";

// Regression: a store whose database server started after the cash register stayed dark all
// day: start-up ended the process when the database did not open.
TEST(Form, AStoreDatabaseDownAtStartUpIsWaitedForAndStartUpFinishesWhenItOpens) {
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(2);
  s.db().SetLinkDown(true);
  FormOnInstallation f(s);
  const StartupResult started = f.form().FormCreate();
  EXPECT_EQ(started.outcome, StartupOutcome::kWaitingForDatabase);
  EXPECT_EQ(started.message, "adcSincronismo: Erro -> Falha de conexão");
  for (int tick = 0; tick < 2; ++tick) f.Tick();
  EXPECT_EQ(s.CountLogged("FormCreate"), 0);
  EXPECT_EQ(s.CountLogged(kReconnecting), 2);
  EXPECT_EQ(s.CountLogged("adcSincronismo: Erro -> Falha de conexão"), 3);
  EXPECT_DOUBLE_EQ(f.form().globals().gUltimaAtividade.load(), s.clock().Steady())
      << "the watchdog would take the waiting process for stalled";

  s.db().SetLinkDown(false);
  f.Tick();
  EXPECT_EQ(s.CountLogged(kReconnected), 1);
  EXPECT_EQ(s.CountLogged("FormCreate"), 1);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX IS NOT NULL"), 2);
  EXPECT_TRUE(f.form().globals().gLiberaReinicio.load());
  EXPECT_FALSE(f.form().ended().has_value());
}

TEST(Form, ACashRegisterFoundNotSetUpOnceTheDatabaseOpensEndsTheLoopAsNotSetUp) {
  SyncInstallation s;
  s.db().SetLinkDown(true);
  FormOnInstallation f(s, "0001_002_");
  ASSERT_EQ(f.form().FormCreate().outcome, StartupOutcome::kWaitingForDatabase);
  s.db().SetLinkDown(false);
  // The loop waits for the timer on the fake clock; another thread moves it on.
  QuitSignal quit;
  std::thread clock_mover([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.clock().Advance(30);
  });
  const StartupResult ended = f.form().Run(quit);
  clock_mover.join();
  EXPECT_EQ(ended.outcome, StartupOutcome::kNotSetUp);
  EXPECT_TRUE(quit.Posted());
  EXPECT_EQ(s.CountLogged(kCaixaNaoParametrizado), 1);
}

// The long run: every call of the store failing as a lost connection for a stretch of ticks,
// failed reconnections after it, a commit lost in the middle of an order, orders arriving all
// along; afterwards every order is in the store once, with its tickets, without a restart.
TEST(Form, EveryStoreCallLostForAStretchOfTicksLosesNoOrderAndWritesNoneTwice) {
  SyncInstallation s;
  FormOnInstallation f(s);
  ASSERT_EQ(f.form().FormCreate().outcome, StartupOutcome::kStarted);
  std::vector<std::string> sales;
  for (int tick = 1; tick <= 20; ++tick) {
    if (tick <= 14 && tick % 2 == 1) {
      for (const std::string& sale : s.AddOrders(2)) sales.push_back(sale);
    }
    if (tick == 4) s.db().SetLinkDown(true);
    if (tick == 9) {
      s.db().SetLinkDown(false);
      s.db().FailNextLinks(2);  // the server is still starting
    }
    if (tick == 13) s.db().FailNextCommit("Falha de conexão", Failure::kConnectionLost);
    f.Tick();
  }

  EXPECT_FALSE(f.form().ended().has_value());
  EXPECT_EQ(s.CountLogged(kReconnected), 2);
  EXPECT_GE(s.CountLogged("adcSincronismo: Erro -> Falha de conexão"), 3);
  const StoreCounts counts = s.CentralCounts();
  EXPECT_EQ(counts.orders_confirmed, static_cast<int>(sales.size()));
  EXPECT_EQ(counts.orders_pending, 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ZLVSINCIMPPEND"), 0) << "tickets still owed";
  std::vector<std::string> tickets;
  for (const auto& entry : std::filesystem::directory_iterator(s.TicketFolder())) {
    tickets.push_back(entry.path().filename().string());
  }
  for (const std::string& sale : sales) {
    EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST WHERE NRVENDARESTAUX = '" + sale + "'"), 1)
        << "order " << sale;
    const std::string tab = s.Value(
        "SELECT substr(CV.DSCOMANDA, 5) FROM COMANDAVEN CV JOIN VENDAREST VR ON VR.CDFILIAL = "
        "CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST WHERE VR.NRVENDARESTAUX = '" +
        sale + "'");
    const std::regex delivery("^[1-3]" + tab + "E\\d.*\\.txt$");
    EXPECT_TRUE(
        std::any_of(tickets.begin(), tickets.end(),
                    [&](const std::string& name) { return std::regex_match(name, delivery); }))
        << "order " << sale << " has no delivery ticket";
  }
}

}  // namespace
}  // namespace zlv::test
