#include "database/named_statement.h"

#include <gtest/gtest.h>

#include "database/store_connection.h"
#include "support/test_database.h"

namespace zlv {
namespace {

TEST(ToPositionalTest, MarkersBecomeQuestionMarksInOrder) {
  std::vector<std::string> names;
  EXPECT_EQ(ToPositional("WHERE A = :P_A AND B=:P_B OR C = :P_A", &names),
            "WHERE A = ? AND B=? OR C = ?");
  EXPECT_EQ(names, (std::vector<std::string>{"P_A", "P_B", "P_A"}));
}

TEST(ToPositionalTest, QuotedTextBracketsAndCommentsAreLeftAlone) {
  std::vector<std::string> names;
  const std::string text =
      "SELECT ':P_X', 'it''s :P_Y', \"A:P_Z\", [B:P_W] -- :P_C\n"
      "/* :P_D */ FROM T WHERE H = '10:30' AND K = :P_K";
  const std::string expected =
      "SELECT ':P_X', 'it''s :P_Y', \"A:P_Z\", [B:P_W] -- :P_C\n"
      "/* :P_D */ FROM T WHERE H = '10:30' AND K = ?";
  EXPECT_EQ(ToPositional(text, &names), expected);
  EXPECT_EQ(names, std::vector<std::string>{"P_K"});
}

TEST(ToPositionalTest, DoubleColonAndUnterminatedTextAreNotMarkers) {
  std::vector<std::string> names;
  EXPECT_EQ(ToPositional("SELECT x::y, a:b FROM T WHERE A = 'open :P_A", &names),
            "SELECT x::y, a:b FROM T WHERE A = 'open :P_A");
  EXPECT_TRUE(names.empty());
}

// The catalogue lands separately: these statements are built here with the same shape.
const StatementDef kInsertSale{
    .name = "acmTesteVenda",
    .kind = StatementKind::Command,
    .params = {{"P_CDFILIAL"},
               {"P_NRVENDAREST"},
               {"P_CDOPERADOR"},
               {"P_DTHRABERMESA", ParamType::DateTime},
               {"P_VRTOTAL", ParamType::Float, 8},
               {"P_NRPESMESAVEN", ParamType::Integer}},
    .timeout_seconds = 0,
    .mssql_text = "not used here",
    .sqlite_text =
        "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDOPERADOR, DTHRABERMESA, VRTOTAL, "
        "NRPESMESAVEN) VALUES (:P_CDFILIAL, :P_NRVENDAREST, :P_CDOPERADOR, :P_DTHRABERMESA, "
        ":P_VRTOTAL, :P_NRPESMESAVEN)"};

// P_CDFILIAL appears twice in the text and once in the list of parameters.
const StatementDef kSalesOfOperator{
    .name = "adqTesteVendas",
    .params = {{"P_CDFILIAL"}, {"P_CDOPERADOR"}},
    .decimals_as_float = true,
    .mssql_text = "not used here",
    .sqlite_text =
        "SELECT V.NRVENDAREST, V.VRTOTAL, V.DTHRABERMESA FROM VENDAREST V WHERE V.CDFILIAL = "
        ":P_CDFILIAL AND V.CDOPERADOR IN (SELECT CDOPERADOR FROM OPERADOR) AND EXISTS (SELECT 1 "
        "FROM VENDAREST W WHERE W.CDFILIAL = :p_cdfilial AND W.CDOPERADOR = :P_CDOPERADOR) "
        "ORDER BY V.NRVENDAREST"};

class NamedStatementTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    if (IsSkipped()) return;
    test::CreateStoreTables(*db_);
    db_->Execute("INSERT INTO OPERADOR (CDOPERADOR) VALUES ('OP1')", {});
  }
};
ZLV_ON_BOTH_DRIVERS(NamedStatementTest);

TEST_P(NamedStatementTest, ParametersKeepTheirValuesAcrossExecutions) {
  NamedStatement insert(*db_, kInsertSale);
  insert.SetParam("P_CDFILIAL", "0001");
  insert.SetParam("P_CDOPERADOR", "OP1");
  insert.SetParam("P_VRTOTAL", 10.5);
  insert.SetParam("P_NRVENDAREST", "1");
  EXPECT_EQ(insert.Execute(), 1);
  insert.SetParam("P_NRVENDAREST", "2");  // only the number changes
  EXPECT_EQ(insert.Execute(), 1);

  NamedStatement query(*db_, kSalesOfOperator);
  query.SetParam("P_CDFILIAL", "0001");
  query.SetParam("P_CDOPERADOR", "OP1");
  query.Open();
  ASSERT_EQ(query.Result().RecordCount(), 2);
  EXPECT_EQ(query.Field("NRVENDAREST"), Variant("1"));
  query.Next();
  EXPECT_EQ(query.Field("NRVENDAREST"), Variant("2"));
  EXPECT_EQ(query.Field("VRTOTAL"), Variant(10.5));
}

TEST_P(NamedStatementTest, RepeatedNameTakesTheOneValue) {
  NamedStatement insert(*db_, kInsertSale);
  insert.SetParam("P_CDFILIAL", "0001");
  insert.SetParam("P_NRVENDAREST", "1");
  insert.SetParam("P_CDOPERADOR", "OP1");
  insert.Execute();
  NamedStatement query(*db_, kSalesOfOperator);
  query.SetParam("p_cdfilial", "0001");  // names match without regard to case
  query.SetParam("P_CDOPERADOR", "OP1");
  EXPECT_EQ(query.Packet().rows.size(), 1u);
  query.SetParam("P_CDFILIAL", "0002");  // both occurrences move together
  EXPECT_TRUE(query.Packet().rows.empty());
}

TEST_P(NamedStatementTest, ParametersAreNullUntilSet) {
  NamedStatement insert(*db_, kInsertSale);
  EXPECT_TRUE(insert.Param("P_CDOPERADOR").IsNull());
  insert.SetParam("P_CDFILIAL", "0001");
  insert.SetParam("P_NRVENDAREST", "1");
  insert.Execute();
  const DataPacket p =
      db_->Query("SELECT CDOPERADOR, DTHRABERMESA, VRTOTAL, NRPESMESAVEN FROM VENDAREST", {});
  for (const Variant& cell : p.rows.at(0)) EXPECT_TRUE(cell.IsNull());
}

TEST_P(NamedStatementTest, TextGivenToANumberOrDateParameterIsConverted) {
  NamedStatement insert(*db_, kInsertSale);
  insert.SetParam("P_CDFILIAL", "0001");
  insert.SetParam("P_NRVENDAREST", "1");
  insert.SetParam("P_VRTOTAL", "12,5");
  insert.SetParam("P_NRPESMESAVEN", " ");
  insert.SetParam("P_DTHRABERMESA", "2024-03-05T14:07:09");
  EXPECT_EQ(insert.Param("P_VRTOTAL"), Variant(12.5));
  EXPECT_TRUE(insert.Param("P_NRPESMESAVEN").IsNull());
  insert.Execute();
  const DataPacket p = db_->Query("SELECT DTHRABERMESA FROM VENDAREST", {});
  EXPECT_EQ(p.rows.at(0).at(0), Variant(DateTime::FromCivil(2024, 3, 5, 14, 7, 9)));
  EXPECT_THROW(insert.SetParam("P_VRTOTAL", "doze"), std::invalid_argument);
}

TEST_P(NamedStatementTest, UnknownParameterNamesTheStatementAndTheParameter) {
  NamedStatement insert(*db_, kInsertSale);
  try {
    insert.SetParam("P_NAOEXISTE", "x");
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("acmTesteVenda"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("P_NAOEXISTE"), std::string::npos);
  }
}

TEST_P(NamedStatementTest, UndeclaredMarkerIsRefusedAtItsFirstRun) {
  const StatementDef def{.name = "adqErrada",
                         .params = {},
                         .mssql_text = "",
                         .sqlite_text = "SELECT * FROM T WHERE A = :P_A"};
  NamedStatement query(*db_, def);
  EXPECT_THROW(query.Open(), std::invalid_argument);
}

// Regression: a statement took its dialect's text when it was built, so nothing holding one
// (the cycle, the run) could be built while the store database had not opened yet.
TEST(NamedStatementConnectionTest, AStatementBuiltBeforeItsConnectionOpensRunsOnceItDoes) {
  static const StatementDef kOne{.name = "adqUm",
                                 .params = {},
                                 .mssql_text = "SELECT 1 AS UM",
                                 .sqlite_text = "SELECT 1 AS UM"};
  test::TempDir dir("zlv_database");
  const std::string file = (dir.path() / "x.db").string();
  StoreConnection connection([&] { return OpenDatabase("sqlite:" + file); });
  NamedStatement query(connection, kOne);
  EXPECT_THROW(query.Open(), ConnectionLostError);
  connection.Connect();
  query.Open();
  EXPECT_EQ(query.Field("UM").AsInteger(), 1);
}

TEST_P(NamedStatementTest, ResultIsUnavailableUntilOpenedAndAfterClose) {
  NamedStatement query(*db_, kSalesOfOperator);
  EXPECT_FALSE(query.Active());
  EXPECT_THROW(query.Result(), std::logic_error);
  query.Open();
  EXPECT_TRUE(query.Active());
  EXPECT_TRUE(query.IsEmpty());
  EXPECT_TRUE(query.Eof());
  query.Close();
  EXPECT_THROW(query.Result(), std::logic_error);
}

TEST_P(NamedStatementTest, FailedOpenLeavesTheQueryClosed) {
  const StatementDef def{.name = "adqErrada",
                         .params = {},
                         .mssql_text = "",
                         .sqlite_text = "SELECT * FROM NAOEXISTE"};
  NamedStatement query(*db_, def);
  EXPECT_THROW(query.Open(), DatabaseError);
  EXPECT_FALSE(query.Active());
}

}  // namespace
}  // namespace zlv
