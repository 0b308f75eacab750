// What both drivers do alike when they hand a result back: unique field names and the
// precision of exact decimals.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/data_packet.h"

namespace zlv {

// A name repeated in a result (a join selecting "T.*" beside a column of its own) gets "_1",
// "_2"... so that every field can be read by name, as the business code's datasets did.
void MakeFieldNamesUnique(std::vector<FieldDef>* fields);

// Exact decimals (NUMERIC, DECIMAL, MONEY) read without "decimals as float" keep the fixed
// point precision of the business code's decimal fields: four decimal places.
double FixedPointDecimal(double value);

// Column, table and parameter names are ASCII and compared without regard to case.
std::string AsciiUpper(std::string_view text);
bool SameName(std::string_view a, std::string_view b);

}  // namespace zlv
