// FormCreate in this process, against a real store database in a temporary installation.
// The first tick and the watchdog are stand-ins that record when they were reached.
#include "host/startup.h"

#include <gtest/gtest.h>

#include "installation.h"
#include "platform/config_key.h"
#include "support/log_testing.h"

namespace zlv {
namespace {

namespace fs = std::filesystem;

// Logged by every connection to the installation's embedded database.
constexpr const char* kDatabaseLine =
    "adcSincronismo: banco de dados SQLite (driver embutido), dialeto SQLite";

class StartupTest : public ::testing::Test {
 protected:
  StartupResult Start(const std::string& parameter) {
    StartupParts parts{
        .services = services_,
        .adcSincronismo = connection_,
        .first_parameter = parameter,
        .cdsParametros = cdsParametros_,
        .cdsRoteirizador = cdsRoteirizador_,
        .timSincronismo = timer_,
        .wait_for_database = wait_for_database_,
        .codes_read = [this] { codes_read_ = globals_.gCDFILIAL + "_" + globals_.gCDCAIXA; },
        .start_watchdog = [this] { steps_.push_back("watchdog"); },
        .first_tick =
            [this] {
              steps_.push_back("tick");
              EXPECT_TRUE(timer_.Enabled());
              EXPECT_FALSE(globals_.gLiberaReinicio.load());
              if (tick_failure_) throw std::runtime_error("no such table: PARAVEND");
            }};
    return resume_ ? ResumeStartup(parts) : FormCreate(parts);
  }
  StartupResult Resume(const std::string& parameter) {
    resume_ = true;
    return Start(parameter);
  }
  std::vector<std::string> Log() { return test::LogMessages(log_, clock_.Now()); }

  test::Installation install_;
  FakeClock clock_{DateTime::FromCivil(2026, 6, 12, 8, 0, 0)};
  FileConfigKey key_{install_.registry()};
  Globals globals_;
  ActivityLog log_{install_.home(), clock_};
  StoreConnection connection_{key_, install_.home()};
  Services services_{connection_, log_, clock_, globals_, install_.home()};
  SyncTimer timer_{clock_};
  Dataset cdsParametros_, cdsRoteirizador_;
  std::vector<std::string> steps_;
  std::string codes_read_;  // the codes as the watchdog was handed them
  bool tick_failure_ = false;
  bool wait_for_database_ = true;
  bool resume_ = false;
};

TEST_F(StartupTest, ASetUpCashRegisterStartsEverythingInOrder) {
  const StartupResult result = Start("0001_001_");
  ASSERT_EQ(result.outcome, StartupOutcome::kStarted) << result.message;
  EXPECT_EQ(steps_, (std::vector<std::string>{"watchdog", "tick"}));
  EXPECT_EQ(codes_read_, "0001_001");
  EXPECT_EQ(globals_.gCDFILIAL, "0001");
  EXPECT_EQ(globals_.gCDCAIXA, "001");
  EXPECT_EQ(globals_.gCDLOJA, "001");
  EXPECT_EQ(globals_.gIDIMPAUTCUPZLV, "") << "no register of the store prints automatically";
  EXPECT_EQ(globals_.gIDUTILINTROT, "N");
  EXPECT_DOUBLE_EQ(globals_.gUltimaAtividade.load(), clock_.Steady());
  EXPECT_DOUBLE_EQ(globals_.gUltimaAtividadeData.load(), clock_.Now().days());
  EXPECT_DOUBLE_EQ(globals_.gInicioPeriodo.load(), clock_.Steady());
  EXPECT_TRUE(globals_.gLiberaReinicio.load());
  EXPECT_TRUE(timer_.Enabled());
  EXPECT_TRUE(fs::is_directory(install_.home() / "Dados" / "Imp" / "Files"));
  EXPECT_TRUE(fs::exists(install_.home() / "Dados" / "Imp" / "cdsImpressoras.cds"));
  ASSERT_GE(Log().size(), 2u);
  EXPECT_EQ(Log()[0], kDatabaseLine);
  EXPECT_EQ(Log()[1], "FormCreate");
}

TEST_F(StartupTest, AutomaticReceiptFlagComesFromAnyRegisterOfTheStore) {
  install_.Sql("UPDATE CAIXA SET IDIMPAUTCUPZLV = 'S' WHERE CDCAIXA = '002'");
  ASSERT_EQ(Start("0001_001_").outcome, StartupOutcome::kStarted);
  EXPECT_EQ(globals_.gIDIMPAUTCUPZLV, "S");
}

TEST_F(StartupTest, CodesComeFromTheParameterFileWithoutAParameter) {
  test::WriteFileBytes(install_.home() / "Zelvora.cds",
                       R"({"fields":[{"name":"CDFILIAL","type":"string","size":4},)"
                       R"({"name":"CDCAIXA","type":"string","size":3}],"rows":[["0001","001"]]})");
  ASSERT_EQ(Start("").outcome, StartupOutcome::kStarted);
  EXPECT_EQ(globals_.gCDCAIXA, "001");
}

TEST_F(StartupTest, ACashRegisterNotSetUpIsRefusedBeforeAnythingStarts) {
  for (const std::string parameter : {"", "0001_002_", "0009_001_"}) {
    steps_.clear();
    EXPECT_EQ(Start(parameter).outcome, StartupOutcome::kNotSetUp) << parameter;
    EXPECT_TRUE(steps_.empty()) << parameter;
    EXPECT_FALSE(timer_.Enabled());
    EXPECT_FALSE(globals_.gLiberaReinicio.load());
  }
  EXPECT_EQ(Log(), (std::vector<std::string>{kDatabaseLine, "FormCreate", kCaixaNaoParametrizado,
                                             kDatabaseLine, "FormCreate", kCaixaNaoParametrizado,
                                             kDatabaseLine, "FormCreate", kCaixaNaoParametrizado}));
  EXPECT_FALSE(fs::exists(install_.home() / "Dados" / "Imp")) << "nothing was prepared";
}

TEST_F(StartupTest, ABadParameterIsLoggedAsReadAndRefusedLikeAnUnsetRegister) {
  const StartupResult result = Start("0001_001");
  EXPECT_EQ(result.outcome, StartupOutcome::kBadParameters);
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       kDatabaseLine, "FormCreate",
                       "LeParametros: Erro -> Parâmetro \"0001_001\" inválido: a última parte "
                       "não termina com \"_\"",
                       kCaixaNaoParametrizado}));
}

TEST_F(StartupTest, AMissingStoreDatabaseIsWaitedForOnTheTimerAndNeverCreated) {
  const fs::path later = install_.home() / "later.db";
  fs::rename(install_.database(), later);
  const std::string missing = "adcSincronismo: Erro -> O banco de dados da loja não existe: " +
                              install_.database().string();
  wait_for_database_ = false;  // a technician's ONCE check
  EXPECT_EQ(Start("0001_001_").outcome, StartupOutcome::kDatabaseUnavailable);
  EXPECT_TRUE(steps_.empty());
  EXPECT_FALSE(timer_.Enabled());

  wait_for_database_ = true;
  const StartupResult result = Start("0001_001_");
  EXPECT_EQ(result.outcome, StartupOutcome::kWaitingForDatabase);
  EXPECT_EQ(result.message, missing);
  EXPECT_EQ(steps_, std::vector<std::string>{"watchdog"});
  EXPECT_TRUE(timer_.Enabled());
  EXPECT_DOUBLE_EQ(globals_.gUltimaAtividade.load(), clock_.Steady());
  EXPECT_FALSE(globals_.gLiberaReinicio.load());
  clock_.Advance(30);
  EXPECT_EQ(Resume("0001_001_").outcome, StartupOutcome::kWaitingForDatabase);
  EXPECT_FALSE(fs::exists(install_.database()));
  EXPECT_DOUBLE_EQ(globals_.gUltimaAtividade.load(), clock_.Steady());

  fs::rename(later, install_.database());
  EXPECT_EQ(Resume("0001_001_").outcome, StartupOutcome::kStarted);
  EXPECT_EQ(steps_, (std::vector<std::string>{"watchdog", "watchdog", "tick"}));
  const std::vector<std::string> expected = {
      missing,
      missing,
      "adcSincronismo: reconectando ao banco de dados da loja",
      missing,
      "adcSincronismo: reconectando ao banco de dados da loja",
      "adcSincronismo: conectado ao banco de dados da loja",
      kDatabaseLine,
      "FormCreate"};
  const std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
  EXPECT_TRUE(globals_.gLiberaReinicio.load());
}

TEST_F(StartupTest, AnUnreadableStoreDatabaseIsLoggedWithItsCauseAndWaitedFor) {
  test::WriteFileBytes(install_.database(), std::string(4096, 'x'));
  const StartupResult result = Start("0001_001_");
  EXPECT_EQ(result.outcome, StartupOutcome::kWaitingForDatabase);
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].rfind("adcSincronismo: Erro -> ", 0), 0u) << Log()[0];
  EXPECT_NE(Log()[0].find("not a database"), std::string::npos) << Log()[0];
}

TEST_F(StartupTest, ABrokenStoreDatabaseAfterConnectingStopsStartUpWithItsCause) {
  install_.Sql("DROP TABLE CAIXA");
  const StartupResult result = Start("0001_001_");
  EXPECT_EQ(result.outcome, StartupOutcome::kFailed);
  EXPECT_EQ(Log().back().rfind("FormCreate: Erro -> ", 0), 0u) << Log().back();
  EXPECT_FALSE(timer_.Enabled());
}

TEST_F(StartupTest, AFailingRouterSettingsQueryIsLoggedAndStartUpGoesOn) {
  install_.Sql("DROP TABLE LOJA");
  const StartupResult result = Start("0001_001_");
  EXPECT_EQ(result.outcome, StartupOutcome::kStarted) << result.message;
  bool logged = false;
  for (const std::string& line : Log()) logged |= line.rfind("CarregaConfigRot: Erro -> ", 0) == 0;
  EXPECT_TRUE(logged);
  EXPECT_EQ(globals_.gIDUTILINTROT, "");
  EXPECT_EQ(steps_.back(), "tick");
}

TEST_F(StartupTest, AFailingFirstTickIsLoggedAndPeriodicRestartsAreStillAllowed) {
  tick_failure_ = true;
  const StartupResult result = Start("0001_001_");
  EXPECT_EQ(result.outcome, StartupOutcome::kStarted);
  EXPECT_EQ(Log().back(), "timSincronismoTimer: Erro -> no such table: PARAVEND");
  EXPECT_TRUE(globals_.gLiberaReinicio.load());
}

}  // namespace
}  // namespace zlv
