// A hub file an earlier version made opens with what the newer one keeps: the columns added
// since are made, and the consumers already there are found by phone.
#include "central/sqlite_hub_store.h"

#include <gtest/gtest.h>

#include "database/database.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

TEST(SqliteHubStore, AnEarlierFileGainsTheNewColumnsAndKeepsItsConsumersFound) {
  test::TempDir home("zlv-sqlite-hub");
  const std::string path = (home.path() / "central.db").string();
  OpenDatabase("sqlite:" + path)
      ->Execute(
          "CREATE TABLE CENTRAL_CONSUMER (CDCLIENTE TEXT NOT NULL, CDCONSUMIDOR TEXT NOT NULL, "
          "DSVALUES TEXT NOT NULL, PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR)); "
          "INSERT INTO CENTRAL_CONSUMER VALUES ('9999', '17', "
          "'{\"NMCONSUMIDOR\": \"Ana\", \"NRTELECONS\": \"11955554444\"}');",
          {}, 0);
  SqliteHubStore store(path);
  const auto found = store.ConsumersByPhone("9999", "11955554444");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].consumer, "17");
  EXPECT_EQ(found[0].values.at("NMCONSUMIDOR").AsText(), "Ana");
  EXPECT_FALSE(store.FindOrderRoad("500001").has_value());
}

}  // namespace
}  // namespace zlv
