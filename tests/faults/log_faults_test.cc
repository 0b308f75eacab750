// The log folder turns read-only under a running synchroniser (a full or failing disk, a
// technician's mistake). A log line that cannot be written fails the step that writes it, so a
// run cannot even begin; the tick is contained by the main loop, and no order may be written,
// printed or confirmed without its trace: all stay pending at the central server until the
// log can be written again.
#include <gtest/gtest.h>

#include "host/main_loop.h"
#include "scoped_mount.h"
#include "sync_fixture.h"

namespace zlv::test {
namespace {

TEST(LogFaultRun, UnwritableLogKeepsEveryOrderAtTheServerUntilItCanBeWritten) {
  // Before the installation starts its server thread: the mounts need the test thread's own
  // mount namespace.
  if (const auto why = MountsUnavailable()) GTEST_SKIP() << *why;
  SyncInstallation s;
  const std::vector<std::string> sales = s.AddOrders(2);
  ActivityLog& log = s.services().log;
  log.GravaLog("");
  const std::filesystem::path log_folder = log.FileFor(s.clock().Now()).parent_path().parent_path();
  {
    const ScopedMount read_only = ScopedMount::ReadOnly(log_folder);
    EXPECT_NO_THROW(RunContainedTick([&s] { s.Tick(); }, log));
    EXPECT_NO_THROW(RunContainedTick([&s] { s.Tick(); }, log));
    EXPECT_EQ(s.Count("SELECT COUNT(*) FROM VENDAREST"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(s.TicketFolder()));
    EXPECT_EQ(s.CentralCounts().orders_pending, 2);
    EXPECT_TRUE(s.timer().Enabled()) << "a failed run must not stop the synchroniser";
  }
  s.Tick();
  for (const std::string& sale : sales) {
    EXPECT_TRUE(s.CountLogged("Commit do pedido NRVENDARESTAUX:" + sale) == 1) << sale;
  }
  EXPECT_EQ(s.CentralCounts().orders_confirmed, 2);
}

}  // namespace
}  // namespace zlv::test
