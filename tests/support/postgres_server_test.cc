// The throwaway PostgreSQL the hub's tests run on: it serves a real libpq client, and leaves
// neither a server nor a folder behind.
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>

namespace zlv::test {
namespace {

TEST(PostgresServer, ServesLibpqClientsAndLeavesNothingBehind) {
  std::filesystem::path folder;
  {
    PostgresServer server;
    folder = server.folder();
    for (const std::string& uri : {server.uri(), server.CreateDatabase("other")}) {
      SCOPED_TRACE(uri);
      const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(uri.c_str()),
                                                                    PQfinish);
      ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
      const std::unique_ptr<PGresult, decltype(&PQclear)> result(
          PQexec(connection.get(), "SELECT 1"), PQclear);
      ASSERT_EQ(PQresultStatus(result.get()), PGRES_TUPLES_OK);
      EXPECT_STREQ(PQgetvalue(result.get(), 0, 0), "1");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
}  // namespace zlv::test
