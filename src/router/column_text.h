// ColumnText: a column value in its default text form, the form the router message, its
// address and the log show values in. Nothing is formatted for the occasion: texts as stored;
// numbers in shortest general form (15 significant digits) with the regional decimal
// separator, no digit grouping, no fixed decimals; date-times as the regional short date, a
// blank and the long time, the time left out at midnight; NULL as an empty text.
//
// Pure functions; thread-safe.
#pragma once

#include <string>

#include "bizlib/regional.h"
#include "data/variant.h"

namespace zlv {

std::string ColumnText(const Variant& value, const RegionalSettings& regional);

// A floating-point value in general form: fixed notation while it has at most 15 digits
// before the separator and is not below 0.00001 in size, else scientific ("1,5E-7", "1E20").
std::string FloatToStrGeneral(double value, char decimal_separator);

}  // namespace zlv
