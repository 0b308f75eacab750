// Every SQLite text of the catalogue compiles on the store schema and, where it is not the SQL
// Server text itself, returns the columns of the SQL Server statement in the same order.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "database/named_statement.h"
#include "support/demo_store.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

struct Expected {
  const char* statement;
  const char* columns;  // blank-separated; "TABLE.*" stands for the table's columns
};

// adqBuscaPedido and adqBuscaEncomenda.
constexpr const char* kKitchenItems =
    "QTPRODCOMVEN VRPRECCOMVEN CDFILIAL NRVENDAREST NRCOMANDA CDPRODUTO NMPRODUTO "
    "CDPRODPROMOCAO NMPRODUTOPROM CDVENDEDOR DSOBSITEMVENDA DSOBSPEDDIGITA NRSEQIMPRPROD "
    "NRSEQIMPRPROD2 NRSEQIMPRPUXA NRSEQPRODCOM NRPRODCOMVEN VRDESCCOMVEN TXPRODCOMVEN "
    "VRACRCOMVEN NRMESA IDORGCMDVENDA IDIMPPRGRPROMO IDIMPQTCOMBO IDPESAPROD";

// adqEndePedido and adqEndePedidoEnc.
constexpr const char* kOrderHeader =
    "CDCONSUMIDOR NMCONSUMIDOR NRTELECONS NRTELE2CONS NRCELULARCONS DSENDECONSCOMAN "
    "DSCOMPLENDCOCOM SGESTADO NRCEPCONSCOMAND CDCLIENTE CDPAIS NMPAIS SGESTADO NMESTADO "
    "CDMUNICIPIO NMMUNICIPIO CDBAIRRO NMBAIRRO CDFILIAL DTHRABERMESA DSREFENDCONSCOM "
    "NRCOMANDA CDOPERADOR CDVENDEDOR IDRETBALLOJA NRCPFRESPCON NMRAZSOCVEN NRCELULARVEN "
    "NRTELEVEN NRTELRESIVEN NMQUADRANTE NRVENDAREST IDSTCOMANDA VRACRCOMANDA "
    "IDORGCMDVENDA VRDESCOMANDA DSOBSCOMANDA NRENDECONSCOMAN NRCOMANDAEXT DSCOMANDA "
    "DTHRAGENDADA DSCONSUMIDOR NRCONTATOCON";

// The select lists of the SQL Server texts whose SQLite text is its own.
const Expected kColumns[] = {
    {"adqExisteTabela", "IDEXISTE"},
    {"adqComandaVen", "NRVENDARESTAUX CDVENDEDOR DTHRABERMESA CDCLIENTE CDCONSUMIDOR COMANDAVEN.*"},
    {"adqProdLoja",
     "CDPRODUTO CDARVPROD NMPRODUTO CDPORIMPPROD DSENDIMPPROD IDIMPCANITEM CDLOJA NMLOJA "
     "IDIMPRODUVEZ NRSEQIMPRPROD NRSEQIMPRPROD2 NRSEQIMPRPUXA PORTAPUXA MODELOPROD "
     "MODELOPUXA"},
    {"adqBuscaPedido", kKitchenItems},
    {"adqItComandaEst", "ITCOMANDAEST.* NMPRODUTO IDPESAPROD DSOBSITEMVENDA DSOBSPEDDIGITA"},
    {"adqImprAutoEntrega", "CDFILIAL CDCAIXA NMCAIXA IDIMPAUTENTREG IMPRENTREGA CDLOJA"},
    {"adqVendaRest", "VENDAREST.*"},
    {"adqItComandaVen", "ITCOMANDAVEN.*"},
    {"adqMovCaixaDLV", "MOVCAIXADLV.*"},
    {"adqConsumidor", "NRVENDAREST CONSUMIDOR.*"},
    {"adqEndePedido", kOrderHeader},
    {"adqItensITCOMANDAVEN",
     "NRSEQPRODCOM CDPRODPROMOCAO CDPRODUTO SGUNIDADE NMPRODUTO QTPRODVEND VRUNITVEND "
     "VRDESITVEND VRACRITVEND DSOBSITEMVENDA DSOBSPEDDIGITA DSOBSITEMVENDAEST"},
    {"adqEncVendarest", "VENDAREST.*"},
    {"adqEncComandaVen", "COMANDAVEN.*"},
    {"adqEncConsumidor", "NRVENDAREST CONSUMIDOR.*"},
    {"adqBuscaEncomenda", kKitchenItems},
    {"adqEndePedidoEnc", kOrderHeader},
    {"adqItensITCOMANDAVENEnc",
     "NRSEQPRODCOM CDPRODPROMOCAO CDPRODUTO NMPRODUTO QTPRODVEND VRUNITVEND VRDESITVEND "
     "VRACRITVEND DSOBSITEMVENDA DSOBSPEDDIGITA"},
    {"adqDadosRotItVen",
     "NRVENDAREST QTPRODCOMVEN CDPRODUTO NMPRODUTO TXPRODCOMVEN VRPRECCOMVEN VRTOTAL "
     "IDSTPRCOMVEN NRPRODCOMVEN"},
    {"adqDadosRot",
     "CDCLIENTE CDCONSUMIDOR IDUTILINTROT CDURLROT NRVENDAREST NRCOMANDA IDORGCMDVENDA "
     "DTINCLUSAO CDFILIAL NMCONSUMIDOR NRTELECONS NRENDECONS DSENDECONS DSREFERENDECONS "
     "NMBAIRRO NMMUNICIPIO NMESTADO NMPAIS NRCEPCONS NRLATPEDIDO NRLONGPEDIDO NMLOJA "
     "IDSITUPEDROT CHARGEMETHOD VRENTRADA VRSAIDA DTHRAGENDADA SGESTADO NRCOMANDAEXT"},
    {"adqVendaRestDuplicada", "VENDAREST.*"},
    {"adqStatusRecusados", "NRVENDARESTAUX QTTENTATIVAS DTULTIMA DSLOGMSG"},
    {"adqStatusTicketsPendentes", "QTPENDENTES DTMAISANTIGO"},
    {"adqStatusComandasNaoSinc", "QTCOMANDAS DTMAISANTIGA"},
    {"adqStatusAgendados", "NRVENDAREST DTLIBERACAO"},
};

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

class CatalogueOnSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto file = dir_.path() / "store.db";
    test::OpenDemoStore(file);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &raw), SQLITE_OK);
    db_.reset(raw);
  }

  // Prepared with the '?' markers the drivers receive; null with the error in *error.
  StatementHandle Prepare(std::string_view text, std::string* error) {
    std::vector<std::string> names;
    const std::string sql = ToPositional(text, &names);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, &tail) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_.get());
      return nullptr;
    }
    StatementHandle stmt(raw);
    if (std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) {
      *error = "more than one statement";
      return nullptr;
    }
    return stmt;
  }

  std::vector<std::string> ExpandColumns(const char* columns) {
    std::vector<std::string> out;
    std::istringstream words(columns);
    for (std::string word; words >> word;) {
      if (!word.ends_with(".*")) {
        out.push_back(word);
        continue;
      }
      std::string error;
      auto info = Prepare("PRAGMA table_info(" + word.substr(0, word.size() - 2) + ")", &error);
      while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)));
      }
    }
    return out;
  }

  test::TempDir dir_{"zlv_catalogue"};
  SqliteHandle db_;
};

TEST_F(CatalogueOnSqlite, EveryTextCompilesOnTheStoreSchema) {
  for (const StatementDef& def : AllStatements()) {
    std::string error;
    EXPECT_NE(Prepare(def.sqlite_text, &error), nullptr) << def.name << ": " << error;
  }
}

TEST_F(CatalogueOnSqlite, OwnTextsReturnTheServerColumnsInOrder) {
  size_t own_queries = 0;
  for (const StatementDef& def : AllStatements()) {
    if (def.kind == StatementKind::Query && def.sqlite_text != def.mssql_text) ++own_queries;
  }
  EXPECT_EQ(std::size(kColumns), own_queries);
  for (const Expected& expected : kColumns) {
    std::string error;
    auto stmt = Prepare(FindStatement(expected.statement).sqlite_text, &error);
    ASSERT_NE(stmt, nullptr) << expected.statement << ": " << error;
    std::vector<std::string> got;
    for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
      got.emplace_back(sqlite3_column_name(stmt.get(), c));
    }
    EXPECT_EQ(got, ExpandColumns(expected.columns)) << expected.statement;
  }
}

}  // namespace
}  // namespace zlv
