#include "store/number_generator.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "database/transactions.h"
#include "support/test_database.h"

namespace zlv {
namespace {

class NumberGeneratorTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    if (IsSkipped()) return;
    test::CreateStoreTables(*db_);
  }
  void Sale(const std::string& cdfilial, const std::string& nrvendarest) {
    db_->Execute("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST) VALUES (?, ?)",
                 {cdfilial, nrvendarest});
  }
  void Item(const std::string& nrcomanda, const std::string& nrprodcomven, const std::string& senha,
            DateTime when, const std::string& seqcup = "") {
    db_->Execute(
        "INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDSENHAPED, "
        "DTHRINCOMVEN, NRSEQPRODCUP) VALUES ('0001', '1', ?, ?, ?, ?, ?)",
        {nrcomanda, nrprodcomven, senha, when, seqcup});
  }
  TdtmZlvProxCodigo numbers() { return TdtmZlvProxCodigo(*db_); }
};
ZLV_ON_BOTH_DRIVERS(NumberGeneratorTest);

TEST_P(NumberGeneratorTest, NewCounterStartsAboveTheBranchsHighestSale) {
  Sale("0001", "0000000041");
  Sale("0001", "0000000007");
  Sale("0001", "MANUAL");      // not a number: ignored
  Sale("0002", "0000000900");  // another branch
  AbreTransacao(*db_);
  EXPECT_EQ(numbers().PrxVendaRest("0001"), "0000000042");
  EXPECT_EQ(numbers().PrxVendaRest("0001"), "0000000043");
  EXPECT_EQ(numbers().PrxVendaRest("0002"), "0000000901");
  EXPECT_EQ(numbers().PrxVendaRest("0003"), "0000000001");
  ConfirmaTransacao(*db_);
}

TEST_P(NumberGeneratorTest, CommittedNumbersAreNeverRepeatedAndRolledBackOnesComeBack) {
  AbreTransacao(*db_);
  const std::string first = numbers().PrxComandaVen("0001");
  ConfirmaTransacao(*db_);
  AbreTransacao(*db_);
  const std::string rolled_back = numbers().PrxComandaVen("0001");
  DesfazTransacao(*db_);
  AbreTransacao(*db_);
  const std::string again = numbers().PrxComandaVen("0001");
  ConfirmaTransacao(*db_);
  EXPECT_EQ(first, "0000000001");
  EXPECT_EQ(rolled_back, "0000000002");
  EXPECT_EQ(again, rolled_back);
  // A new connection (the next start of the program) goes on from there.
  auto later = Connect();
  EXPECT_EQ(TdtmZlvProxCodigo(*later).PrxComandaVen("0001"), "0000000003");
}

TEST_P(NumberGeneratorTest, EachCounterIsItsOwn) {
  db_->Execute(
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRREQEXTCMD) "
      "VALUES ('0001', '1', '0000000005', '0000000070')",
      {});
  Item("0000000005", "000001", "", DateTime::FromCivil(2024, 1, 1), "0000000300");
  EXPECT_EQ(numbers().PrxComandaVen("0001"), "0000000006");
  EXPECT_EQ(numbers().PrxReqExterna("0001"), "0000000071");
  EXPECT_EQ(numbers().PrxItComandaVen("0001"), "0000000301");
  EXPECT_EQ(numbers().PrxVendaRest("0001"), "0000000001");
}

TEST_P(NumberGeneratorTest, ItemNumbersArePerOrderTab) {
  const DateTime when = DateTime::FromCivil(2024, 1, 1);
  Item("0000000005", "000001", "", when);
  Item("0000000005", "000002", "", when);
  AbreTransacao(*db_);
  EXPECT_EQ(numbers().PrxItemComanda("0001", "0000000005", 1), "000003");
  EXPECT_EQ(numbers().PrxItemComanda("0001", "0000000006", 1), "000001");
  EXPECT_EQ(numbers().PrxItemComanda("0001", "0000000006", 1), "000002");
  EXPECT_EQ(numbers().PrxItemComanda("0001", "0000000006", 2), "000004");
  ConfirmaTransacao(*db_);
  // Counters of finished tabs do not pile up.
  const DataPacket rows =
      db_->Query("SELECT NMCONTADOR FROM ZLVPROXCODIGO WHERE NMCONTADOR LIKE 'NRPRODCOMVEN%'", {});
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0][0], Variant("NRPRODCOMVEN:0000000006"));
}

TEST_P(NumberGeneratorTest, CallCodesStartOverEachDayAboveThatDaysCodes) {
  const DateTime monday = DateTime::FromCivil(2024, 3, 4);
  Item("0000000001", "000001", "0007", DateTime::FromCivil(2024, 3, 4, 9, 30, 0));
  Item("0000000001", "000002", "0012", DateTime::FromCivil(2024, 3, 3, 22, 0, 0));  // Sunday
  Item("0000000001", "000003", "", DateTime::FromCivil(2024, 3, 4, 10, 0, 0));
  EXPECT_EQ(numbers().PrxVendaDia("0001", monday), "0008");
  EXPECT_EQ(numbers().PrxVendaDia("0001", monday.AddSeconds(3600)), "0009");
  EXPECT_EQ(numbers().PrxVendaDia("0001", DateTime::FromCivil(2024, 3, 5)), "0001");
  EXPECT_EQ(numbers().PrxVendaDia("0001", monday), "0010");
}

// Another program (the point of sale) writes rows with the next two numbers of a sequence
// behind the generator's back: the generator hands out the number after them.
TEST_P(NumberGeneratorTest, NumbersAnotherProgramTookAreSkippedInEverySequence) {
  const DateTime day = DateTime::FromCivil(2024, 3, 4);
  struct Case {
    const char* name;
    std::function<std::string(TdtmZlvProxCodigo&)> take;
    std::function<void(const std::string&)> use;
  };
  int row = 0;  // keeps the other key columns of the rows apart
  auto next_row = [&row] { return "R" + std::to_string(++row); };
  const std::vector<Case> cases = {
      {"sale", [](TdtmZlvProxCodigo& g) { return g.PrxVendaRest("0001"); },
       [&](const std::string& n) { Sale("0001", n); }},
      {"order tab", [](TdtmZlvProxCodigo& g) { return g.PrxComandaVen("0001"); },
       [&](const std::string& n) {
         db_->Execute(
             "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA) VALUES "
             "('0001', '1', ?)",
             {n});
       }},
      {"external request", [](TdtmZlvProxCodigo& g) { return g.PrxReqExterna("0001"); },
       [&](const std::string& n) {
         db_->Execute(
             "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRREQEXTCMD) "
             "VALUES ('0001', '1', ?, ?)",
             {next_row(), n});
       }},
      {"product sequence", [](TdtmZlvProxCodigo& g) { return g.PrxItComandaVen("0001"); },
       [&](const std::string& n) { Item("0000000009", next_row(), "", day, n); }},
      {"item", [](TdtmZlvProxCodigo& g) { return g.PrxItemComanda("0001", "0000000005", 1); },
       [&](const std::string& n) { Item("0000000005", n, "", day); }},
      {"call code", [&](TdtmZlvProxCodigo& g) { return g.PrxVendaDia("0001", day); },
       [&](const std::string& n) { Item("0000000007", next_row(), n, day.AddSeconds(60)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TdtmZlvProxCodigo g = numbers();
    const std::string first = c.take(g);
    const int width = static_cast<int>(first.size());
    auto padded = [width](int64_t n) {
      std::string digits = std::to_string(n);
      return std::string(width - digits.size(), '0') + digits;
    };
    c.use(padded(std::stoll(first) + 1));
    c.use(padded(std::stoll(first) + 2));
    EXPECT_EQ(c.take(g), padded(std::stoll(first) + 3));
  }
}

TEST_P(NumberGeneratorTest, WithoutATransactionEachNumberIsCommittedAtOnce) {
  EXPECT_EQ(numbers().PrxVendaRest("0001"), "0000000001");
  EXPECT_FALSE(db_->InTransaction());
  auto other = Connect();
  EXPECT_EQ(TdtmZlvProxCodigo(*other).PrxVendaRest("0001"), "0000000002");
}

TEST_P(NumberGeneratorTest, TwoConnectionsNeverShareANumber) {
  auto second = Connect();
  std::set<std::string> seen;
  for (int i = 0; i < 10; ++i) {
    Database& db = i % 2 == 0 ? *db_ : *second;
    AbreTransacao(db);
    EXPECT_TRUE(seen.insert(TdtmZlvProxCodigo(db).PrxVendaRest("0001")).second);
    ConfirmaTransacao(db);
  }
  EXPECT_EQ(*seen.rbegin(), "0000000010");
}

}  // namespace
}  // namespace zlv
