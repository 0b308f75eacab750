// A channel's order into the rows a store downloads: what a good order becomes, and the field
// and rule each kind of bad order is refused with.
#include "central/channel_order.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/demo_store.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

using json = nlohmann::json;

// Two burgers with an observation, a combo of two priced parts with a discount, paid in cash
// with change: 51.80 + (29.40 - 3.00) + 5.90 - 2.00 = 82.10.
json GoodOrder() {
  return R"({
    "external_id": "ifood-77", "display_id": "4321", "origin": "DLV_IFO",
    "branch": "0001", "store": "001",
    "customer": {"name": "Beatriz Ramos", "phone": "11955554444",
                 "address": {"street": "Rua Augusta", "number": "500", "district": "Consolação",
                             "state": "SP", "postal_code": "01305000",
                             "country_code": "1058", "municipality_code": "3550308"}},
    "items": [
      {"product": "10001", "quantity": 2, "unit_price": 25.90, "notes": "Sem picles",
       "observations": [{"group": "01", "code": "001"}]},
      {"product": "20001", "quantity": 1, "discount": 3.00,
       "components": [{"product": "10002", "quantity": 1, "unit_price": 22.90},
                      {"product": "10004", "quantity": 1, "unit_price": 6.50}]}],
    "delivery_fee": 5.90, "discount": 2.00,
    "payments": [{"method": "cash", "amount": 82.10, "change_for": 100}]
  })"_json;
}

class ChannelOrderTest : public ::testing::Test {
 protected:
  GeneratedOrder Build(const json& order) {
    ChannelOrderContext context{schema_,
                                settings_,
                                "001",
                                now_,
                                [this](const std::string& counter) { return ++numbers_[counter]; },
                                [this](const std::string& text) -> std::optional<DateTime> {
                                  if (text != "2026-12-09T21:00:00-03:00") return std::nullopt;
                                  return DateTime::FromCivil(2026, 12, 9, 21, 0, 0);
                                },
                                consumers_};
    return BuildChannelOrder(order, context);
  }
  static std::vector<std::string> Column(const DataPacket& packet, const char* field) {
    std::vector<std::string> values;
    for (const auto& row : packet.rows) {
      values.push_back(row.at(static_cast<std::size_t>(packet.FieldIndex(field))).AsText());
    }
    return values;
  }

  StoreSchema schema_ = StoreSchema::FromDatabase(*test::OpenDemoStore(":memory:"));
  const BranchSettings settings_{
      "0001", "0001",    "9999",
      "0001", "DLV_ZLV", {{"cash", "001"}, {"card", "002"}, {"change", "004"}},
      "1058", "SP",      "3550308"};
  const DateTime now_ = DateTime::FromCivil(2026, 12, 9, 19, 0, 0);
  std::map<std::string, int64_t> numbers_;
  std::vector<ConsumerRecord> consumers_;
};

TEST_F(ChannelOrderTest, AGoodOrderBecomesTheRowsOfEachSetAndItsCustomerIsKnownNextTime) {
  const GeneratedOrder order = Build(GoodOrder());
  EXPECT_EQ(order.sale, "1");
  EXPECT_FALSE(order.scheduled);
  EXPECT_EQ(Column(order.sets[kComandaVen], "IDORGCMDVENDA"), std::vector<std::string>{"DLV_IFO"});
  EXPECT_EQ(Column(order.sets[kComandaVen], "NRCOMANDAEXT"), std::vector<std::string>{"4321"});
  EXPECT_EQ(Column(order.sets[kComandaVen], "DSENDECONSCOMAN"),
            std::vector<std::string>{"Rua Augusta"});
  // The place codes the store's router query joins on.
  EXPECT_EQ(Column(order.sets[kComandaVen], "CDMUNICIPIO"), std::vector<std::string>{"3550308"});
  EXPECT_EQ(Column(order.sets[kComandaVen], "CDPAIS"), std::vector<std::string>{"1058"});
  EXPECT_EQ(Column(order.sets[kItComandaVen], "CDPRODUTO"),
            (std::vector<std::string>{"10001", "10002", "10004"}));
  EXPECT_EQ(Column(order.sets[kItComandaVen], "CDPRODPROMOCAO"),
            (std::vector<std::string>{"", "20001", "20001"}));
  EXPECT_EQ(Column(order.sets[kObsItComandaVen], "CDOCORR"), std::vector<std::string>{"001"});
  const DataPacket& payments = order.sets[kMovCaixaDlv];
  EXPECT_EQ(Column(payments, "IDTIPOMOVIVEDLV"), (std::vector<std::string>{"E", "S"}));
  EXPECT_EQ(Column(payments, "CDTIPORECE"), (std::vector<std::string>{"001", "004"}));
  const int amount = payments.FieldIndex("VRMOVIVENDDLV");
  EXPECT_DOUBLE_EQ(payments.rows[0][static_cast<std::size_t>(amount)].AsFloat(), 100.0);
  EXPECT_NEAR(payments.rows[1][static_cast<std::size_t>(amount)].AsFloat(), 17.90, 1e-9);

  // The same phone later, scheduled: the consumer is the same one, moved house.
  json again = GoodOrder();
  again["customer"]["address"] = {{"street", "Rua Bela Cintra"}, {"number", "12"}};
  again["scheduled_for"] = "2026-12-09T21:00:00-03:00";
  const GeneratedOrder later = Build(again);
  EXPECT_TRUE(later.scheduled);
  ASSERT_EQ(consumers_.size(), 1u);
  EXPECT_EQ(Column(later.sets[kCons], "CDCONSUMIDOR"), Column(order.sets[kCons], "CDCONSUMIDOR"));
  EXPECT_EQ(Column(later.sets[kComandaVen], "DSBAIRRO"), std::vector<std::string>{""});
  // Its new address names no place codes: the branch's own town's.
  EXPECT_EQ(Column(later.sets[kComandaVen], "CDMUNICIPIO"), std::vector<std::string>{"3550308"});
  EXPECT_EQ(Column(later.sets[kComandaVen], "DSCOMANDA")[0].rfind("ENC_", 0), 0u);
}

TEST_F(ChannelOrderTest, ABadOrderIsRefusedNamingTheFieldAndTheRule) {
  struct Case {
    std::string change;  // a JSON merge patch of the good order
    std::string pointer, rule;
  };
  const std::vector<Case> cases = {
      {R"({"external_id": null})", "/external_id", "is required"},
      {R"({"items": []})", "/items", "must not be empty"},
      {R"({"customer": {"address": null}})", "/customer/address", "is required"},
      {R"({"customer": {"name": "Beatriz 🍔"}})", "/customer/name", "Windows-1252"},
      {R"({"delivery_fee": 5.901})", "/delivery_fee", "at most two decimals"},
      {R"({"discount": 2.01})", "/payments", "add up to 82.10, the order to 82.09"},
      {R"({"payments": [{"method": "card", "amount": 82.10, "change_for": 100}]})",
       "/payments/0/change_for", "cash payments only"},
      {R"({"payments": [{"method": "voucher", "amount": 82.10}]})", "/payments/0/method",
       "no receipt type for voucher"},
      {R"({"payments": [{"method": "pix", "amount": 82.10}]})", "/payments/0/method",
       "must be one of"},
      {R"({"scheduled_for": "2026-12-09 21:00"})", "/scheduled_for", "RFC 3339"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    json order = GoodOrder();
    order.merge_patch(json::parse(c.change));
    try {
      Build(order);
      ADD_FAILURE() << "accepted";
    } catch (const ChannelOrderError& e) {
      EXPECT_EQ(e.pointer(), c.pointer) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.rule), std::string::npos) << e.what();
    }
  }
  // Array elements cannot be patched: a zero quantity and a priced combo, by hand.
  for (const auto& [path, value, pointer] :
       {std::tuple{"/items/0/quantity", json(0), "/items/0/quantity"},
        std::tuple{"/items/1/unit_price", json(10), "/items/1/unit_price"}}) {
    json order = GoodOrder();
    order[json::json_pointer(path)] = value;
    try {
      Build(order);
      ADD_FAILURE() << path;
    } catch (const ChannelOrderError& e) {
      EXPECT_EQ(e.pointer(), pointer) << e.what();
    }
  }
  EXPECT_TRUE(numbers_.empty()) << "a refused order took numbers";

  // A text longer than the store's column, where the store's schema declares the length.
  const test::TempDir dir("zlv-channel-order");
  std::ofstream(dir.path() / "schema.sql")
      << "CREATE TABLE CONSUMIDOR (CDCLIENTE VARCHAR(4), CDCONSUMIDOR VARCHAR(20), "
         "NMCONSUMIDOR VARCHAR(40));";
  schema_ = StoreSchema::FromScript(dir.path() / "schema.sql");
  json order = GoodOrder();
  order.erase("display_id");  // the tab's copy of the name: that table is not in this schema
  order["customer"]["name"] = std::string(40, 'x');
  EXPECT_NO_THROW(Build(order));
  order["customer"]["name"] = std::string(40, 'x') + "ç";
  try {
    Build(order);
    ADD_FAILURE() << "accepted";
  } catch (const ChannelOrderError& e) {
    EXPECT_EQ(e.pointer(), "/customer/name");
    EXPECT_NE(std::string(e.what()).find("at most 40 characters (NMCONSUMIDOR)"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace zlv
