#include "data/filter.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace zlv {
namespace {

using Row = std::map<std::string, Variant>;

bool Matches(std::string_view filter, const Row& row) {
  std::vector<Variant> cells;
  for (const auto& [name, value] : row) cells.push_back(value);
  auto expr = FilterExpr::Parse(filter);
  expr->Bind([&](std::string_view name) {
    auto it = row.find(std::string(name));
    if (it == row.end()) throw std::out_of_range("Field '" + std::string(name) + "' not found");
    return static_cast<std::size_t>(std::distance(row.begin(), it));
  });
  return expr->Matches(cells);
}

TEST(Filter, QuoteFilterValueDoublesEveryQuote) {
  EXPECT_EQ(QuoteFilterValue("d'água"), "'d''água'");
  EXPECT_EQ(QuoteFilterValue(""), "''");
  EXPECT_EQ(QuoteFilterValue("''"), "''''''");
}

// Data put into a filter text through QuoteFilterValue selects exactly the rows holding it,
// whatever quotes, keywords or parentheses it carries.
TEST(Filter, QuotedValuesNeverChangeTheFiltersMeaning) {
  const std::vector<std::string> values = {
      "O'Brien",           "'", "''", "x' OR 'a' = 'a", "a' AND NOME <> '",
      "') AND (NOME = 'b", "",  " ",  "Rua d'Água, 12", "\\'"};
  for (const std::string& wanted : values) {
    const std::string filter = "NOME = " + QuoteFilterValue(wanted) + " AND ID = 1";
    for (const std::string& other : values) {
      EXPECT_EQ(Matches(filter, {{"NOME", Variant(other)}, {"ID", Variant(1)}}), other == wanted)
          << filter << " vs " << other;
    }
    const std::string in = "NOME IN ('zzz', " + QuoteFilterValue(wanted) + ")";
    EXPECT_TRUE(Matches(in, {{"NOME", Variant(wanted)}})) << in;
    EXPECT_FALSE(Matches(in, {{"NOME", Variant(wanted + "'")}})) << in;
  }
}

TEST(Filter, ComparesTextsExactlyAndNumbersNumerically) {
  const Row row = {{"CDLOJA", Variant("01")},
                   {"NRSEQ", Variant(12)},
                   {"VRPRECO", Variant(2.5)},
                   {"IDATIVO", Variant(true)},
                   {"DTENTREGA", Variant(DateTime::FromCivil(2024, 5, 6, 7, 8, 9))},
                   {"DSOBS", Variant::Null()}};
  EXPECT_TRUE(Matches("CDLOJA = '01'", row));
  EXPECT_FALSE(Matches("CDLOJA = '1'", row));
  EXPECT_FALSE(Matches("CDLOJA = '01 '", row));
  EXPECT_TRUE(Matches("CDLOJA = 1", row));  // a number literal reads the text as a number
  EXPECT_TRUE(Matches("NRSEQ = 12", row));
  EXPECT_TRUE(Matches("NRSEQ = '12'", row));
  EXPECT_TRUE(Matches("NRSEQ = 12.0", row));
  EXPECT_FALSE(Matches("NRSEQ = 'doze'", row));
  EXPECT_TRUE(Matches("VRPRECO = 2.5 AND VRPRECO <> 2", row));
  EXPECT_TRUE(Matches("VRPRECO = '2,5'", row));
  EXPECT_TRUE(Matches("IDATIVO = 'S'", row));
  EXPECT_FALSE(Matches("IDATIVO = 'N'", row));
  EXPECT_TRUE(Matches("DTENTREGA = '2024-05-06 07:08:09'", row));
  EXPECT_FALSE(Matches("DSOBS = ''", row));
  EXPECT_TRUE(Matches("DSOBS <> 'x'", row));
}

TEST(Filter, InListsAndParenthesesAndAnyCase) {
  const Row row = {{"IDSTATUS", Variant("P")}, {"NRSEQ", Variant(3)}};
  EXPECT_TRUE(Matches("IDSTATUS IN ('A','P')", row));
  EXPECT_FALSE(Matches("IDSTATUS IN ('A', 'p')", row));
  EXPECT_TRUE(Matches("NRSEQ in (1, 2, 3) and (IDSTATUS = 'P')", row));
  EXPECT_TRUE(Matches("((NRSEQ = 3)) AND (IDSTATUS <> 'X' AND NRSEQ IN (-1, 3))", row));
  EXPECT_FALSE(Matches("NRSEQ = 3 AND IDSTATUS = 'A'", row));
  EXPECT_THROW(Matches("NRSEQX = 3", row), std::out_of_range);
}

// A long IN list (an upload batch names up to a hundred sales) is matched through a set of its
// texts; it must select the same rows as the same literals tested one by one.
TEST(Filter, LongInListSelectsWhatItsLiteralsSelectOneByOne) {
  const std::vector<std::string> literals = {
      "'15'", "'016'", "'a b'", "''",  "'O''Neil'",
      "17",   "2.5",   "'2.5'", "'S'", "'2024-05-06 07:08:09'"};
  std::string list;
  for (const std::string& literal : literals) list += (list.empty() ? "" : ", ") + literal;
  const std::vector<Variant> cells = {
      Variant("15"),   Variant("16"),  Variant("016"),
      Variant("a b"),  Variant(""),    Variant("O'Neil"),
      Variant("17"),   Variant(" 17"), Variant(int64_t{17}),
      Variant(2.5),    Variant("2,5"), Variant(true),
      Variant::Null(), Variant("zzz"), Variant(DateTime::FromCivil(2024, 5, 6, 7, 8, 9))};
  for (const Variant& cell : cells) {
    bool any = false;
    for (const std::string& literal : literals)
      any = any || Matches("F = " + literal, {{"F", cell}});
    EXPECT_EQ(Matches("F IN (" + list + ")", {{"F", cell}}), any) << cell.AsText();
  }
}

TEST(Filter, MalformedTextsAreRejectedWithThePosition) {
  for (const char* bad : {"",
                          "   ",
                          "A",
                          "A =",
                          "A = 'x",
                          "A == 'x'",
                          "A IN ()",
                          "A IN ('a',)",
                          "A IN 'a'",
                          "= 'x'",
                          "A = 'x' OR B = 'y'",
                          "A = 1abc",
                          "A = x",
                          "(A = 1",
                          "A = 1)",
                          "A = 'x' AND",
                          "AND = 1",
                          "A = 99999999999999999999",
                          "A = 'x' B = 'y'",
                          "A <> ",
                          "A = .5",
                          "A = 1."}) {
    EXPECT_THROW(FilterExpr::Parse(bad), std::invalid_argument) << bad;
  }
  try {
    FilterExpr::Parse("CDLOJA = 'x' AND NRSEQ > 3");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("position 24"), std::string::npos) << e.what();
  }
  EXPECT_THROW(FilterExpr::Parse(std::string(200, '(') + "A = 1" + std::string(200, ')')),
               std::invalid_argument);
}

TEST(Filter, EveryPrefixOfAFilterParsesOrIsRejected) {
  const std::string text = "(CDLOJA = 'd''x' AND NRSEQ IN (1, -2.5, 'a''')) AND B <> 'q'";
  for (size_t n = 0; n <= text.size(); ++n) {
    try {
      FilterExpr::Parse(text.substr(0, n));
    } catch (const std::invalid_argument&) {
    }
  }
  EXPECT_TRUE(
      Matches(text, {{"CDLOJA", Variant("d'x")}, {"NRSEQ", Variant("a'")}, {"B", Variant("r")}}));
}

}  // namespace
}  // namespace zlv
