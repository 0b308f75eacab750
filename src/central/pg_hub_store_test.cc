// The PostgreSQL back end's own promises: hub processes starting at once on a new database
// make its schema once, a schema newer than the program is refused, a connection the server
// dropped is made again, and a password (in the database URI or a password file) is used and
// stays out of every error text.
#include "central/pg_hub_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "central/hub_test_backends.h"
#include "central/open_hub_store.h"
#include "central/pg_hub_schema.h"
#include "database/database.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

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

TEST(PgHubStore, APasswordFromPgpassfileIsUsedAndAWrongOneNeverShows) {
  test::PostgresServer server;
  server.RequirePassword("S3nha-do-hub");
  const test::TempDir home("zlv-pgpass");
  const std::filesystem::path passfile = home.path() / "pgpass";
  std::ofstream(passfile) << "*:*:*:zlv:S3nha-do-hub\n";
  std::filesystem::permissions(
      passfile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto refusal = [](const std::string& uri) {
    try {
      OpenHubStore(uri);
    } catch (const DatabaseError& e) {
      return std::string(e.what());
    }
    return std::string("opened");
  };
  setenv("PGPASSFILE", (home.path() / "none").c_str(), 1);
  EXPECT_NE(refusal(server.uri()).find("no password supplied"), std::string::npos);
  std::string wrong = server.uri();
  wrong.replace(wrong.find("://") + 3, 0, "zlv:Errad0-x@");
  const std::string message = refusal(wrong);
  EXPECT_NE(message.find("password authentication failed"), std::string::npos) << message;
  EXPECT_EQ(message.find("Errad0-x"), std::string::npos) << message;

  setenv("PGPASSFILE", passfile.c_str(), 1);
  EXPECT_EQ(refusal(server.uri()), "opened");
  unsetenv("PGPASSFILE");
}

}  // namespace
}  // namespace zlv
