// The PostgreSQL back end's own promises: hub processes starting at once on a new database
// make its schema once, a schema newer than the program is refused, a connection the server
// dropped is made again, and a password in the database URI stays out of every error text.
#include "central/pg_hub_store.h"

#include <gtest/gtest.h>

#include <thread>

#include "central/hub_test_backends.h"
#include "central/open_hub_store.h"
#include "central/pg_hub_schema.h"
#include "database/database.h"

namespace zlv {
namespace {

TEST(PgHubStore, StartersAtOnceMigrateOnceAndANewerSchemaIsRefused) {
  const std::string uri = test::NewHubLocation(test::HubBackend::kPostgres, {});
  std::vector<std::string> failures(4);
  std::vector<std::thread> starters;
  for (std::size_t i = 0; i < failures.size(); ++i) {
    starters.emplace_back([&, i] {
      try {
        PgHubStore store(uri);
      } catch (const std::exception& e) {
        failures[i] = e.what();
      }
    });
  }
  for (std::thread& starter : starters) starter.join();
  EXPECT_EQ(failures, std::vector<std::string>(failures.size()));

  PgConnection check(uri);
  const PgResult versions = check.Exec("SELECT NRVERSION FROM HUB_SCHEMA_VERSION ORDER BY 1");
  ASSERT_EQ(versions.rows(), HubSchemaVersion());
  for (int r = 0; r < versions.rows(); ++r) EXPECT_EQ(versions.Integer(r, 0), r + 1);

  check.Exec("INSERT INTO HUB_SCHEMA_VERSION (NRVERSION) VALUES ($1)",
             {std::to_string(HubSchemaVersion() + 1)});
  try {
    PgHubStore newer(uri);
    ADD_FAILURE() << "a newer schema was accepted";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("newer than this program's"), std::string::npos)
        << e.what();
  }
}

TEST(PgHubStore, AConnectionLostBetweenTransactionsIsMadeAgainAtTheNext) {
  const std::string uri = test::NewHubLocation(test::HubBackend::kPostgres, {});
  PgHubStore store(uri);
  PgConnection(uri).Exec(
      "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
      "WHERE datname = current_database() AND pid <> pg_backend_pid()");
  HubTransaction transaction(store);
  EXPECT_EQ(store.NextNumber("NRVENDAREST"), 500001);
  transaction.Commit();
}

TEST(PgHubStore, APasswordInTheUriStaysOutOfErrorTexts) {
  for (const std::string uri : {
           "postgresql://zlv:Segr%ZZedo@/hub",   // libpq quotes the token it cannot decode
           "postgresql://zlv:Segredo@[::1/hub",  // and the whole URI it cannot read
           "postgres://zlv@/hub?host=/nonexistent&password=Segredo",
       }) {
    SCOPED_TRACE(uri);
    try {
      OpenHubStore(uri);
      ADD_FAILURE() << "opened";
    } catch (const DatabaseError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("PostgreSQL: cannot connect: ", 0), 0u) << message;
      EXPECT_EQ(message.find("Segr"), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace zlv
