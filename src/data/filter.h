// Filter texts of the in-memory datasets: a small expression language parsed once and
// evaluated per row.
//   expr   := term { AND term }
//   term   := '(' expr ')' | FIELD op literal | FIELD IN '(' literal {',' literal} ')'
//   op     := '=' | '<>'
//   literal:= 'quoted text' (a quote inside written '') | number
// Keywords are case-insensitive; field names are matched without regard to case.
//
// Comparisons: a text field against a quoted literal compares the texts exactly, byte for
// byte. Number, date-time and flag fields compare by value with number literals and with
// quoted texts holding such a value ('12', '2024-05-06 07:08:09', 'S'); a text that holds none
// matches nothing. A null cell equals no literal, so it passes "<>".
//
// Values put into a filter text must go through QuoteFilterValue, so that no data can change
// the filter's meaning.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/variant.h"

namespace zlv {

// 'text' with every ' doubled.
std::string QuoteFilterValue(std::string_view value);

class FilterExpr {
 public:
  // Throws std::invalid_argument naming the position of the fault.
  static std::unique_ptr<FilterExpr> Parse(std::string_view text);
  virtual ~FilterExpr() = default;
  // Ties the filter to a row layout: position_of(name) gives a field's position in the rows,
  // throwing for an unknown field. Names are looked up here once, not for every row a
  // walk tests, since a filter is tested against every row of its dataset.
  virtual void Bind(const std::function<std::size_t(std::string_view)>& position_of) = 0;
  // Whether a row of the bound layout passes.
  virtual bool Matches(const std::vector<Variant>& cells) const = 0;
};

}  // namespace zlv
