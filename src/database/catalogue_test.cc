// The catalogue's own consistency: every statement is there once, its kind and time-out follow
// its name, and both texts use exactly the parameters it declares.
#include "database/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "database/named_statement.h"

namespace zlv {
namespace {

std::set<std::string> MarkerNames(std::string_view text) {
  std::vector<std::string> names;
  ToPositional(text, &names);
  return {names.begin(), names.end()};
}

std::set<std::string> DeclaredNames(const StatementDef& def) {
  std::set<std::string> names;
  for (const ParamDef& param : def.params) names.emplace(param.name);
  return names;
}

// The text without its "--" comments, as the server reads it.
std::string WithoutLineComments(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t comment = text.find("--", i);
    if (comment == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, comment - i));
    i = text.find('\n', comment);
    if (i == std::string_view::npos) break;
  }
  return out;
}

TEST(Catalogue, HoldsEveryStatementOnceUnderItsComponentName) {
  const auto& all = AllStatements();
  EXPECT_EQ(all.size(), 85u);
  std::set<std::string_view> names;
  for (const StatementDef& def : all) {
    EXPECT_TRUE(names.insert(def.name).second) << "twice: " << def.name;
    EXPECT_EQ(&FindStatement(def.name), &def);
  }
  for (const char* name : {"adqComandaVen", "acmVendaRest", "adqBuscaEncomenda",
                           "acmInsZlvSincExecuta", "adqObsProdPai", "acmSetArithAbort"}) {
    EXPECT_TRUE(names.contains(name)) << name;
  }
}

TEST(Catalogue, UnknownNameIsRefusedWithTheName) {
  try {
    FindStatement("adqNaoExiste");
    FAIL() << "no exception";
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("adqNaoExiste"), std::string::npos);
  }
}

TEST(Catalogue, KindAndTimeOutFollowTheComponentName) {
  for (const StatementDef& def : AllStatements()) {
    if (def.name.starts_with("adq")) {
      EXPECT_EQ(def.kind, StatementKind::Query) << def.name;
      EXPECT_EQ(def.timeout_seconds, 30) << def.name;
    } else {
      ASSERT_TRUE(def.name.starts_with("acm")) << def.name;
      EXPECT_EQ(def.kind, StatementKind::Command) << def.name;
      EXPECT_EQ(def.timeout_seconds, 0) << def.name;
      EXPECT_FALSE(def.decimals_as_float) << def.name;
    }
  }
}

TEST(Catalogue, BothTextsUseExactlyTheDeclaredParameters) {
  for (const StatementDef& def : AllStatements()) {
    const auto declared = DeclaredNames(def);
    EXPECT_EQ(declared.size(), def.params.size()) << def.name << " declares a name twice";
    EXPECT_EQ(MarkerNames(def.mssql_text), declared) << def.name << " (SQL Server)";
    EXPECT_EQ(MarkerNames(def.sqlite_text), declared) << def.name << " (SQLite)";
  }
}

TEST(Catalogue, ParameterTypesAndSizesOfTheWriters) {
  const StatementDef& comanda = FindStatement("acmInsComandaVen");
  auto param = [](const StatementDef& def, std::string_view name) {
    auto it = std::find_if(def.params.begin(), def.params.end(),
                           [&](const ParamDef& p) { return p.name == name; });
    return it == def.params.end() ? ParamDef{"?", ParamType::Text, 0} : *it;
  };
  EXPECT_EQ(param(comanda, "P_DSAREAATEND").size, 500);
  EXPECT_EQ(param(comanda, "P_VRDESCOMANDA").type, ParamType::Float);
  EXPECT_EQ(param(comanda, "P_VRDESCOMANDA").size, 8);
  EXPECT_EQ(param(comanda, "P_DTHRAGENDADA").type, ParamType::Text);
  EXPECT_EQ(param(FindStatement("acmInsItComVen"), "P_VRPRECCLCOMVEN").size, -1);
  EXPECT_EQ(param(FindStatement("acmCriaMovCaixaDlv"), "P_DTHRACESSOCAT").type,
            ParamType::DateTime);
  EXPECT_EQ(param(FindStatement("adqEncVendarest"), "P_NRTEMPOPROD").type, ParamType::Integer);
  EXPECT_EQ(param(FindStatement("adqVendaRestDuplicada"), "P_DTHRABERMESA").type,
            ParamType::DateTime);
}

TEST(Catalogue, CommentInTheKitchenItemSelectionsEndsBeforeTheOrderBy) {
  for (const char* name : {"adqBuscaPedido", "adqBuscaEncomenda"}) {
    const std::string live = WithoutLineComments(FindStatement(name).mssql_text);
    EXPECT_NE(live.find("ORDER BY IT.CDPRODPROMOCAO, IT.NRSEQPRODCOM"), std::string::npos) << name;
    EXPECT_EQ(live.find("X.DSOCORR, X.QTPRODCOMVENOBS"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace zlv
