#include "central/order_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "central/store_schema.h"
#include "database/database.h"
#include "support/demo_store.h"

namespace zlv {
namespace {

const std::string kDbDir = std::string(ZLV_SOURCE_DIR) + "/db/";

// The demo store: the project's schema and seed in a private in-memory database.
class OrderGeneratorTest : public ::testing::Test {
 protected:
  OrderGeneratorTest() : store_db_(test::OpenDemoStore(":memory:")) {
    schema_ = StoreSchema::FromDatabase(*store_db_);
    master_ = LoadMasterData(*store_db_, "0001", "001");
  }

  std::vector<GeneratedOrder> Generate(int count, uint64_t seed = 7, int scheduled = 0) {
    OrderGenerator generator(master_, schema_, "0001", "001", seed, Counter(), {});
    std::vector<GeneratedOrder> orders;
    for (int i = 0; i < count; ++i) orders.push_back(generator.Next(now_, i < scheduled));
    return orders;
  }

  std::function<int64_t(const std::string&)> Counter() {
    return [this](const std::string& name) { return ++counters_[name] + 1000; };
  }

  static std::string Text(const DataPacket& packet, std::size_t row, const char* field) {
    return packet.rows.at(row).at(static_cast<std::size_t>(packet.FieldIndex(field))).AsText();
  }
  static double Number(const DataPacket& packet, std::size_t row, const char* field) {
    return packet.rows.at(row).at(static_cast<std::size_t>(packet.FieldIndex(field))).AsFloat();
  }

  std::unique_ptr<Database> store_db_;
  StoreSchema schema_;
  MasterData master_;
  std::map<std::string, int64_t> counters_;
  DateTime now_ = DateTime::FromCivil(2026, 3, 14, 19, 30, 0);
};

TEST_F(OrderGeneratorTest, ConsumerPacketsCarryEveryColumnOfTheStoreTables) {
  // Read from the schema script itself, as the store database is created from it.
  const StoreSchema script = StoreSchema::FromScript(kDbDir + "schema.sqlite.sql");
  const GeneratedOrder order = Generate(1).front();
  const auto names = [](const std::vector<FieldDef>& fields) {
    std::vector<std::string> list;
    for (const auto& field : fields) list.push_back(field.name);
    return list;
  };
  EXPECT_EQ(names(order.sets[kCons].fields), names(script.Columns("CONSUMIDOR")));
  EXPECT_EQ(names(order.sets[kConsumiFilial].fields), names(script.Columns("CONSUMIFILIAL")));
  EXPECT_EQ(order.sets[kCons].rows.size(), 1u);
}

TEST_F(OrderGeneratorTest, GeneratedOrdersFitTheStoreTablesKeysAndForeignKeys) {
  // Writing the rows as they come (central numbers) into the demo store's tables proves every
  // code exists there, no key repeats within an order and no required column is missing.
  const char* tables[kDownloadSetCount] = {"CONSUMIDOR",      "CONSUMIFILIAL",   "VENDAREST",
                                           "COMANDAVEN",      "ITCOMANDAVEN",    "ITCOMANDAEST",
                                           "MOVCAIXADLV",     "OBSITCOMANDAVEN", nullptr,
                                           "MOVPONTOCONSAUX", "OBSITCOMANDAEST"};
  for (const GeneratedOrder& order : Generate(60)) {
    for (int set = 0; set < kDownloadSetCount; ++set) {
      if (tables[set] == nullptr) continue;
      const DataPacket& packet = order.sets[set];
      std::vector<std::size_t> columns;
      std::string names, marks;
      for (std::size_t c = 0; c < packet.fields.size(); ++c) {
        for (const auto& column : schema_.Columns(tables[set])) {
          if (column.name == packet.fields[c].name) {
            columns.push_back(c);
            names += (names.empty() ? "" : ", ") + column.name;
            marks += marks.empty() ? "?" : ", ?";
          }
        }
      }
      const std::string verb = set <= kConsumiFilial ? "INSERT OR REPLACE" : "INSERT";
      for (const auto& row : packet.rows) {
        std::vector<Variant> values;
        for (std::size_t c : columns) values.push_back(row[c]);
        EXPECT_NO_THROW(store_db_->Execute(
            verb + " INTO " + tables[set] + " (" + names + ") VALUES (" + marks + ")", values))
            << tables[set] << " of order " << order.sale;
      }
    }
  }
}

TEST_F(OrderGeneratorTest, PaymentsSettleEachOrderExactly) {
  for (const GeneratedOrder& order : Generate(80)) {
    double due = 0;
    const DataPacket& tabs = order.sets[kComandaVen];
    for (std::size_t t = 0; t < tabs.rows.size(); ++t) {
      due += Number(tabs, t, "VRACRCOMANDA") - Number(tabs, t, "VRDESCOMANDA");
    }
    const DataPacket& items = order.sets[kItComandaVen];
    for (std::size_t i = 0; i < items.rows.size(); ++i) {
      due += std::round(Number(items, i, "QTPRODCOMVEN") * Number(items, i, "VRPRECCOMVEN") * 100) /
                 100 -
             Number(items, i, "VRDESCCOMVEN");
    }
    double paid = 0;
    const DataPacket& payments = order.sets[kMovCaixaDlv];
    for (std::size_t p = 0; p < payments.rows.size(); ++p) {
      const double amount = Number(payments, p, "VRMOVIVENDDLV");
      EXPECT_GT(amount, 0) << order.sale;
      paid += Text(payments, p, "IDTIPOMOVIVEDLV") == "S" ? -amount : amount;
    }
    EXPECT_NEAR(paid, due, 0.005) << order.sale;
  }
}

TEST_F(OrderGeneratorTest, ScheduledOrdersAreEncTabsWithTheirTimeAhead) {
  const auto orders = Generate(6, 3, 2);
  for (std::size_t o = 0; o < orders.size(); ++o) {
    const DataPacket& tabs = orders[o].sets[kComandaVen];
    for (std::size_t t = 0; t < tabs.rows.size(); ++t) {
      const Variant& when = tabs.rows[t][static_cast<std::size_t>(tabs.FieldIndex("DTHRAGENDADA"))];
      if (o < 2) {
        EXPECT_TRUE(orders[o].scheduled);
        EXPECT_EQ(Text(tabs, t, "DSCOMANDA").substr(0, 4), "ENC_");
        EXPECT_GT(when.AsDateTime(), now_.AddSeconds(3600 - 1));
      } else {
        EXPECT_EQ(Text(tabs, t, "DSCOMANDA").substr(0, 4), "DLV_");
        EXPECT_TRUE(when.IsNull());
      }
    }
  }
}

TEST_F(OrderGeneratorTest, ManyOrdersShowEveryKindOfContent) {
  std::set<std::string> seen;
  for (const GeneratedOrder& order : Generate(200)) {
    if (order.sets[kComandaVen].rows.size() == 2) seen.insert("two tabs");
    const DataPacket& tabs = order.sets[kComandaVen];
    for (std::size_t t = 0; t < tabs.rows.size(); ++t) {
      const std::string origin = Text(tabs, t, "IDORGCMDVENDA");
      seen.insert(origin);
      if (origin == "DLV_IFO" || origin == "DLV_UBR" || origin == "DLV_RAP") {
        EXPECT_FALSE(Text(tabs, t, "NRCOMANDAEXT").empty()) << order.sale;
      }
    }
    const DataPacket& items = order.sets[kItComandaVen];
    for (std::size_t i = 0; i < items.rows.size(); ++i) {
      if (!Text(items, i, "CDPRODPROMOCAO").empty()) seen.insert("combo");
      const double quantity = Number(items, i, "QTPRODCOMVEN");
      if (quantity != std::floor(quantity)) seen.insert("weighed");
    }
    const DataPacket& payments = order.sets[kMovCaixaDlv];
    for (std::size_t p = 0; p < payments.rows.size(); ++p) {
      if (Text(payments, p, "IDTIPOMOVIVEDLV") == "S") seen.insert("change");
      if (Text(payments, p, "CDTIPORECE") == "010") seen.insert("voucher");
    }
    if (!order.sets[kObsItComandaVen].empty()) seen.insert("observation");
    if (!order.sets[kItComandaEst].empty()) seen.insert("composition");
    if (!order.sets[kObsItComandaEst].empty()) seen.insert("composition observation");
    if (!order.sets[kMovPontoConsAux].empty()) seen.insert("points");
  }
  for (const char* kind :
       {"two tabs", "DLV_IFO", "DLV_UBR", "DLV_RAP", "DLV_ORD", "DLV_ZLV", "combo", "weighed",
        "change", "voucher", "observation", "composition", "composition observation", "points"}) {
    EXPECT_TRUE(seen.count(kind)) << kind;
  }
}

TEST_F(OrderGeneratorTest, SameSeedGivesTheSameOrders) {
  const auto first = Generate(5, 42);
  counters_.clear();
  const auto second = Generate(5, 42);
  for (std::size_t o = 0; o < first.size(); ++o) {
    for (int set = 0; set < kDownloadSetCount; ++set) {
      EXPECT_EQ(first[o].sets[set], second[o].sets[set]) << o << " " << DownloadSetName(set);
    }
  }
}

TEST_F(OrderGeneratorTest, ReturningConsumersKeepTheirCodeWithALaterUpdateStamp) {
  OrderGenerator generator(master_, schema_, "0001", "001", 11, Counter(), {});
  std::map<std::string, DateTime> stamp_of;
  int returning = 0;
  for (int i = 0; i < 60; ++i) {
    const DateTime now = now_.AddSeconds(60.0 * i);
    const DataPacket consumers = generator.Next(now, false).sets[kCons];
    const std::string code = Text(consumers, 0, "CDCONSUMIDOR");
    const DateTime stamp =
        consumers.rows[0][static_cast<std::size_t>(consumers.FieldIndex("DTULTATUCSUM"))]
            .AsDateTime();
    EXPECT_EQ(stamp, now);
    if (stamp_of.count(code) > 0 || code < "900000") ++returning;
    stamp_of[code] = stamp;
  }
  EXPECT_GT(returning, 0);  // the store's own consumers and earlier ones come back updated
  EXPECT_GE(generator.consumers().size(), master_.consumers.size());
}

}  // namespace
}  // namespace zlv
