// The timer's tick: which stores it runs, what it does without a server, how a run ends early
// or fails, and when the next tick comes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "log_match.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

constexpr const char* kReconnecting = "adcSincronismo: reconectando ao banco de dados da loja";
constexpr const char* kReconnected = "adcSincronismo: conectado ao banco de dados da loja";

// A tick as the main loop runs it: what escapes it (a tick query on a dead link) is the loop's
// to log, and the next tick comes as usual.
void ContainedTick(SyncInstallation& s) {
  try {
    s.Tick();
  } catch (const DatabaseError&) {
  }
}

TEST(Cycle, PerStoreRunsTheRegistersStoreAndPerBranchEveryStore) {
  SyncInstallation s;
  s.Tick();
  EXPECT_EQ(StartingWith(s.LogLines(), "INICIO -> SincronizaDLV"),
            Lines{"INICIO -> SincronizaDLV -> Filial: 0001 - Loja: 001"});
  EXPECT_EQ(s.CountLogged("Sincronização por FILIAL"), 0);

  s.Sql("UPDATE PARAVEND SET IDSINCFILIALDLV = 'S'");
  const std::vector<std::string> second_store = s.AddOrders(1, 0, "002");
  s.Tick();
  const Lines lines = s.LogLines();
  const auto branch_line = std::find(lines.begin(), lines.end(), "Sincronização por FILIAL");
  ASSERT_NE(branch_line, lines.end());
  const Lines after(branch_line, lines.end());
  EXPECT_EQ(StartingWith(after, "INICIO -> SincronizaDLV"),
            (Lines{"INICIO -> SincronizaDLV -> Filial: 0001 - Loja: 001",
                   "INICIO -> SincronizaDLV -> Filial: 0001 - Loja: 002"}));
  EXPECT_EQ(StartingWith(after, "FIM -> SincronizaDLV").size(), 2u);
  EXPECT_EQ(s.globals().gCDLOJA, "002");
  EXPECT_EQ(
      s.Value("SELECT CDLOJA FROM VENDAREST WHERE NRVENDARESTAUX = '" + second_store[0] + "'"),
      "002");
  EXPECT_EQ(s.trim_calls(), 3);
}

TEST(Cycle, UnreachableServerIsLoggedAndNoRunStarts) {
  SyncInstallation s;
  s.MakeServerUnreachable(true);
  s.Tick();
  const Lines lines = s.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Sem conexão com o servidor 127.0.0.1:", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(" : Erro -> "), std::string::npos) << lines[0];
  EXPECT_EQ(s.trim_calls(), 0);

  s.MakeServerUnreachable(false);
  s.Tick();
  EXPECT_EQ(s.CountLogged("Conectado no servidor."), 1);
  EXPECT_EQ(s.CountLoggedStartingWith("INICIO -> SincronizaDLV"), 1);
}

TEST(Cycle, AnnouncedRestartEndsTheRunAtOnce) {
  SyncInstallation s;
  s.AddOrders(1);
  s.globals().gAvisoReinicio = true;
  s.globals().gLiberaReinicio = false;
  s.timer().SetEnabled(false);
  s.Tick();
  EXPECT_EQ(s.LastRun(),
            (Lines{"Exit após receber aviso de 240 minutos executando.", "FIM -> SincronizaDLV"}));
  EXPECT_FALSE(s.globals().gAvisoReinicio);
  EXPECT_TRUE(s.globals().gLiberaReinicio);
  EXPECT_TRUE(s.timer().Enabled());
  EXPECT_EQ(s.trim_calls(), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM ZLVSINCEXECUTA"), 0);
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);

  s.Tick();
  EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 1);
}

TEST(Cycle, FailedRunIsLoggedRolledBackAndOnlyALostConnectionIsMadeAgain) {
  SyncInstallation s;
  s.InsertPendingSales(1);
  s.InsertHistoryRow(5001, 1);
  // The store's sales cannot be read: the upload cannot start.
  s.db().FailQueries("SELECT VR.*", "Falha de conexão", Failure::kConnectionLost);
  ContainedTick(s);
  const Lines run = s.LastRun();
  EXPECT_EQ(StartingWith(run, "Metodo \"SincronizaDLV\": Erro -> "),
            Lines{"Metodo \"SincronizaDLV\": Erro -> Falha de conexão"});
  EXPECT_EQ(run.back(), "FIM -> SincronizaDLV");
  EXPECT_EQ(s.CountLoggedStartingWith("Atualiza NRSEQHISTPED"), 0) << "history sent anyway";
  EXPECT_TRUE(s.timer().Enabled());
  EXPECT_FALSE(s.store().Usable());

  s.db().FailQueries("SELECT VR.*", "timeout expired");
  s.Tick();
  EXPECT_EQ(s.CountLogged(kReconnecting), 1);
  EXPECT_EQ(s.CountLogged(kReconnected), 1);
  s.Tick();
  EXPECT_EQ(s.CountLogged(kReconnecting), 1) << "a failure other than the lost link reconnects";
  EXPECT_TRUE(s.store().Usable());
}

// Regression: on a lost store connection the run's rollback failed as well, the reconnection
// after it never came, and every later run failed the same way.
TEST(Cycle, LostStoreConnectionIsMadeAgainEvenWhenTheRollbackFails) {
  SyncInstallation s;
  s.AddOrders(1);
  s.Tick();
  s.central().CancelOrders(kFilial, kLoja, 1, s.clock().Now());
  s.db().FailNextCommit("Falha de conexão", Failure::kConnectionLost);
  s.db().FailRollbacks("Falha de conexão", Failure::kConnectionLost);
  ContainedTick(s);
  EXPECT_EQ(s.LastRun().back(), "FIM -> SincronizaDLV");
  s.db().ClearFaults();

  s.Tick();
  EXPECT_EQ(s.CountLogged(kReconnected), 1);
  EXPECT_FALSE(s.db().InTransaction());
  EXPECT_EQ(s.CentralCounts().cancels_confirmed, 1);
}

// Regression: the store connection was made again only after a run that failed with exactly
// "Falha de conexão". A tick query meeting the dead link first, a lost commit, or a
// reconnection that failed while the server was still starting (the empty connection words its
// failure differently) left every order of the store at the server until a restart.
TEST(Cycle, LostStoreConnectionIsMadeAgainAtATickAndOrdersFlowWithinTwoTicks) {
  struct Case {
    const char* name;
    std::function<void(FaultyDatabase&)> lose;
    int failed_reconnections;
  };
  const Case cases[] = {
      {"tick query",
       [](FaultyDatabase& db) {
         db.FailQueries("P.IDSINCFILIALDLV", "Falha de conexão", Failure::kConnectionLost);
       },
       0},
      {"commit and rollback",
       [](FaultyDatabase& db) {
         db.FailNextCommit("Falha de conexão", Failure::kConnectionLost);
         db.FailRollbacks("Falha de conexão", Failure::kConnectionLost);
       },
       0},
      {"reconnection", [](FaultyDatabase& db) { db.SetLinkDown(true); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SyncInstallation s;
    s.AddOrders(1);
    c.lose(s.db());
    ContainedTick(s);
    s.db().ClearFaults();
    s.db().FailNextLinks(c.failed_reconnections);

    for (int tick = 0; tick < 2 && s.CentralCounts().orders_confirmed == 0; ++tick) {
      s.clock().Advance(30);
      s.Tick();
    }
    EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 1);
    EXPECT_EQ(s.CentralCounts().orders_confirmed, 1);
    EXPECT_EQ(s.CountLogged(kReconnecting), 1 + c.failed_reconnections);
    EXPECT_EQ(s.CountLogged("adcSincronismo: Erro -> Falha de conexão"), c.failed_reconnections);
    EXPECT_EQ(s.CountLogged(kReconnected), 1);
  }
}

TEST(Cycle, ScheduledOrdersAreReleasedEvenWithoutTheServer) {
  SyncInstallation s;
  // A store's own scheduled order for two hours from now; with a one-minute lead time it waits.
  s.Sql("UPDATE LOJA SET NRTEMPOPRODUCAO = 1 WHERE CDFILIAL = '0001' AND CDLOJA = '001'");
  s.Sql(
      "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, DTHRABERMESA) VALUES ('0001', "
      "'6001', '001', datetime('now', 'localtime'))");
  s.Sql(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, CDLOJA, "
      "DTHRAGENDADA, IDSINCAGENDA) VALUES ('0001', '6001', '8001', 'ENC_8001', 'A', '001', "
      "datetime('now', 'localtime', '+2 hours'), 'N')");
  const std::string waiting = "SELECT COUNT(*) FROM COMANDAVEN WHERE IDSINCAGENDA = 'N'";
  s.Tick();
  ASSERT_EQ(s.Count(waiting), 1);

  s.Sql("UPDATE LOJA SET NRTEMPOPRODUCAO = 180 WHERE CDFILIAL = '0001' AND CDLOJA = '001'");
  s.MakeServerUnreachable(true);
  s.client().Disconnect();
  s.timer().SetEnabled(false);
  s.Tick();
  EXPECT_EQ(s.Count(waiting), 0);
  EXPECT_EQ(s.CountLoggedStartingWith("INICIO -> SincronizaDLV"), 1);
  EXPECT_TRUE(s.timer().Enabled());
}

TEST(Cycle, NextTickComesOneIntervalAfterTheRunEnds) {
  SyncInstallation s;
  s.clock().Advance(30);
  ASSERT_TRUE(s.timer().TakeTick());
  s.clock().Advance(7);  // the run takes a while on the clock
  s.Tick();
  EXPECT_FALSE(s.timer_on_during_run());
  const DateTime end = s.clock().Now();
  EXPECT_EQ(*s.timer().DueTime(), end.AddSeconds(30));
  s.clock().Advance(29);
  EXPECT_FALSE(s.timer().TakeTick());
  s.clock().Advance(1);
  EXPECT_TRUE(s.timer().TakeTick());
}

}  // namespace
}  // namespace zlv::test
