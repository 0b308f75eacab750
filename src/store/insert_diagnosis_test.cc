#include "store/insert_diagnosis.h"

#include <gtest/gtest.h>

#include "support/fake_central_calls.h"

namespace zlv {
namespace {

// What the embedded driver reports for a violated foreign key (it ends at the closing quote).
std::string SqliteMessage(const std::string& table, const std::string& column) {
  return "INSERT INTO VENDAREST: FOREIGN KEY constraint failed: tabela \"MORVANE." + table +
         "\", column '" + column + "'";
}

// What the store's SQL Server (Portuguese) reports through ODBC: a full stop follows the
// quote, and the driver's prefixes come first.
std::string ServerMessage(const std::string& table, const std::string& column) {
  return "[Microsoft][ODBC Driver 17 for SQL Server][SQL Server]A instrução INSERT conflitou "
         "com a restrição do FOREIGN KEY \"FK_X_" +
         table + "\". O conflito ocorreu no banco de dados \"ZLV\", tabela \"MORVANE." + table +
         "\", column '" + column + "'.";
}

class InsertDiagnosisTest : public ::testing::Test {
 protected:
  InsertDiagnosisTest() {
    DataPacket packet;
    packet.fields = {{"CDFILIAL", FieldType::String, 4},
                     {"CDLOJA", FieldType::String, 10},
                     {"NRVENDAREST", FieldType::String, 10},
                     {"CDOPERADOR", FieldType::String, 12},
                     {"CDVENDEDOR", FieldType::String, 12}};
    packet.rows = {{"0001", "01", "C123", "OP77", "VD9"}};
    order_.LoadPacket(packet);
  }

  std::string Diagnose(const std::string& errors, const std::string& product = "",
                       const std::string& table = "") {
    return getMsgValidaProd(central_, valida_, errors, product, table, order_);
  }

  FakeCentralCalls central_;
  Dataset valida_;
  Dataset order_;
};

TEST(ForeignKeyMessageTest, ReadsTableAndColumnOfBothServerShapes) {
  for (const std::string& message :
       {SqliteMessage("OPERADOR", "CDOPERADOR"), ServerMessage("OPERADOR", "CDOPERADOR")}) {
    const ForeignKeyTarget target = ParseForeignKeyMessage(message);
    EXPECT_EQ(target.table, "OPERADOR") << message;
    EXPECT_EQ(target.column, "CDOPERADOR") << message;
  }
}

TEST(ForeignKeyMessageTest, IgnoresMessagesOfOtherShapes) {
  // An UPDATE, a column named before the INSERT, no table marker at all.
  for (const std::string& message :
       {std::string("UPDATE conflitou tabela \"MORVANE.PRODUTO\", column 'CDPRODUTO'"),
        std::string("column 'X' then INSERT tabela \"MORVANE.PRODUTO\""),
        std::string("INSERT failed: column 'CDPRODUTO'"),
        std::string("UNIQUE constraint failed: ITCOMANDAVEN.NRPRODCOMVEN")}) {
    const ForeignKeyTarget target = ParseForeignKeyMessage(message);
    EXPECT_EQ(target.table, "") << message;
    EXPECT_EQ(target.column, "") << message;
  }
}

TEST_F(InsertDiagnosisTest, NamesTheMissingOperatorAndSellerOfTheOrder) {
  EXPECT_EQ(Diagnose(ServerMessage("OPERADOR", "CDOPERADOR") + ";;"),
            "O OPERADOR OP77 NAO FOI BAIXADO PARA O CAIXA ; ");
  EXPECT_EQ(Diagnose(SqliteMessage("OPERADOR", "CDOPERADOR") + ";;" +
                     SqliteMessage("VENDEDOR", "CDVENDEDOR") + ";;"),
            "O OPERADOR OP77 NAO FOI BAIXADO PARA O CAIXA ; "
            "O VENDEDOR VD9 NAO FOI BAIXADO PARA O CAIXA ; ");
}

TEST_F(InsertDiagnosisTest, OperatorTableWithAnotherColumnIsNotAMissingOperator) {
  EXPECT_EQ(Diagnose(SqliteMessage("OPERADOR", "CDFILIAL") + ";;"), "");
}

TEST_F(InsertDiagnosisTest, TextAfterTheLastSeparatorIsNotRead) {
  EXPECT_EQ(Diagnose(SqliteMessage("OPERADOR", "CDOPERADOR")), "");
  EXPECT_EQ(Diagnose("x;;" + SqliteMessage("OPERADOR", "CDOPERADOR")), "");
}

TEST_F(InsertDiagnosisTest, AsksTheServerAboutAMissingProductOncePerDiagnosis) {
  central_.SetProblems("P55", {{"P55", "SEM NCM"}, {"P55.1", "SEM CFOP"}});
  const std::string missing = SqliteMessage("PRODUTO", "CDPRODUTO") + ";;";
  EXPECT_EQ(Diagnose(missing + missing, "P55", "ITCOMANDAVEN"), "P55 SEM NCM ; P55.1 SEM CFOP ; ");
  ASSERT_EQ(central_.valida_calls.size(), 1u);
  EXPECT_EQ(central_.valida_calls[0].cdfilial, "0001");
  EXPECT_EQ(central_.valida_calls[0].nrvendarest, "C123");
  EXPECT_EQ(central_.valida_calls[0].cdloja, "01");
  EXPECT_EQ(central_.valida_calls[0].cdproduto, "P55");

  // Once named, a later product error of an observation falls to the observation text.
  central_.valida_calls.clear();
  EXPECT_EQ(Diagnose(missing + missing, "P55", "OBSITCOMANDAEST"),
            "P55 SEM NCM ; P55.1 SEM CFOP ; ERRO AO INSERIR A OBSERVACAO DO PEDIDO ; ");
  EXPECT_EQ(central_.valida_calls.size(), 1u);
}

TEST_F(InsertDiagnosisTest, ProductTheServerKnowsNothingAbout) {
  const std::string missing = SqliteMessage("ITCOMANDAEST", "CDPRODUTO") + ";;";
  EXPECT_EQ(Diagnose(missing, "P9", "ITCOMANDAEST"),
            "NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PRODUTO - P9 ; ");
  // An empty answer does not stop the next product error from asking again.
  central_.valida_calls.clear();
  EXPECT_EQ(Diagnose(missing + missing, "P9", "ITCOMANDAEST"),
            "NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PRODUTO - P9 ; "
            "NAO FOI POSSIVEL IDENTIFICAR O ERRO DO PRODUTO - P9 ; ");
  EXPECT_EQ(central_.valida_calls.size(), 2u);
  EXPECT_EQ(Diagnose(missing, "", "ITCOMANDAEST"), "");
}

TEST_F(InsertDiagnosisTest, RowKindDecidesWhenTheMessageNamesNothing) {
  EXPECT_EQ(Diagnose("deadlock;;", "", "OBSITCOMANDAVEN"),
            "ERRO AO INSERIR A OBSERVACAO DO PEDIDO ; ");
  EXPECT_EQ(Diagnose("deadlock;;", "3", "MOVCAIXADLV"), "ERRO NO RECEBIMENTO 3 DO PEDIDO ; ");
  EXPECT_EQ(Diagnose("deadlock;;", "", "MOVPONTOCONSAUX"),
            "ERRO AO INSERIR A PONTUACAO DO CONSUMIDOR ; ");
  EXPECT_EQ(Diagnose("deadlock;;", "X1", "ITCOMANDAVEN"), "");
  EXPECT_EQ(Diagnose("Produto X1 falta cadastro.;;", "X1", "ITCOMANDAEST"), "");
  EXPECT_EQ(Diagnose("deadlock;;"), "");
}

// A failing remote check used to leave the caller with the previous order's diagnosis.
TEST_F(InsertDiagnosisTest, RemoteFailureGivesAnEmptyDiagnosis) {
  central_.FailValidaProduto("Desconectado do servidor.");
  EXPECT_EQ(Diagnose(SqliteMessage("OPERADOR", "CDOPERADOR") + ";;" +
                         SqliteMessage("PRODUTO", "CDPRODUTO") + ";;",
                     "P1", "ITCOMANDAVEN"),
            "");
}

}  // namespace
}  // namespace zlv
