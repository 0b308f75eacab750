// How the in-memory datasets compare cell values: equality for filters and Locate, ordering
// for indexes. Cells hold their field's type (see CoerceToField); the other side of an
// equality may be a text, a number, a date-time or a flag.
// Pure functions; any thread.
#pragma once

#include "data/variant.h"

namespace zlv {

// True when a cell holds the value: texts compare exactly, byte for byte; when either side is a
// date-time, a flag or a number, both are read as that kind (a text that is not one never
// matches). A null value matches only a null cell.
bool ValuesMatch(const Variant& cell, const Variant& value);

// Orders two cells of one field: nulls first, then numbers numerically, date-times by value,
// false before true, texts by byte or, when asked, without regard to case. <0, 0, >0.
int CompareCells(const Variant& a, const Variant& b, bool case_insensitive);

}  // namespace zlv
