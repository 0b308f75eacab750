// How the writers turn the columns of a downloaded row into statement parameters, and how
// they link a downloaded dataset to the current order, order tab or item by a filter.
//
// A parameter "set to the text of a column" takes the column's text, an empty column giving an
// empty text. A date-time column is bound as a date-time value (NULL when empty) instead of
// its regional text: the store database would not read a regional text back reliably.
//
// Main thread only, like the datasets.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/dataset.h"
#include "database/named_statement.h"

namespace zlv {

// Whether the dataset's column is of the date-time type.
bool IsDateTimeColumn(const Dataset& row, std::string_view column);

// The text of a column, or its date-time value for a date-time column.
Variant ColumnText(const Dataset& row, std::string_view column);
// The column as a floating-point value; an empty column gives 0.
Variant ColumnFloat(const Dataset& row, std::string_view column);
// The column's value unchanged; an empty column gives NULL.
Variant ColumnValue(const Dataset& row, std::string_view column);

// Sets every parameter of the statement, except those the caller fills itself, to ColumnText
// of the row's column named like the parameter without "P_". A missing column throws,
// naming it.
void SetParamsFromRow(NamedStatement& statement, const Dataset& row,
                      std::initializer_list<std::string_view> filled_by_caller = {});

// "A = 'x' AND B = 'y'", each value quoted so that no data can change the filter's meaning.
std::string LinkFilter(const std::vector<std::pair<std::string_view, std::string>>& terms);
// Switches the filter off, sets the text, switches it on and goes to the first visible row.
void ApplyFilter(Dataset& dataset, std::string text);

}  // namespace zlv
