#include "database/row_params.h"

#include <algorithm>

#include "data/filter.h"

namespace zlv {

namespace {

constexpr std::string_view kParamPrefix = "P_";

}  // namespace

bool IsDateTimeColumn(const Dataset& row, std::string_view column) {
  const FieldDef* field = row.FindField(column);
  return field != nullptr && field->type == FieldType::DateTime;
}

Variant ColumnText(const Dataset& row, std::string_view column) {
  const Variant& value = row.Field(column);
  if (value.type() == Variant::Type::DateTime) return value;
  if (value.IsEmptyOrNull() && IsDateTimeColumn(row, column)) return Variant::Null();
  return Variant(value.AsText());
}

Variant ColumnFloat(const Dataset& row, std::string_view column) {
  return Variant(row.Field(column).AsFloat());
}

Variant ColumnValue(const Dataset& row, std::string_view column) {
  const Variant& value = row.Field(column);
  return value.IsEmptyOrNull() ? Variant::Null() : value;
}

void SetParamsFromRow(NamedStatement& statement, const Dataset& row,
                      std::initializer_list<std::string_view> filled_by_caller) {
  for (const ParamDef& param : statement.def().params) {
    if (std::find(filled_by_caller.begin(), filled_by_caller.end(), param.name) !=
        filled_by_caller.end()) {
      continue;
    }
    std::string_view column = param.name;
    if (column.starts_with(kParamPrefix)) column.remove_prefix(kParamPrefix.size());
    statement.SetParam(param.name, ColumnText(row, column));
  }
}

std::string LinkFilter(const std::vector<std::pair<std::string_view, std::string>>& terms) {
  std::string text;
  for (const auto& [field, value] : terms) {
    if (!text.empty()) text += " AND ";
    text += field;
    text += " = ";
    text += QuoteFilterValue(value);
  }
  return text;
}

void ApplyFilter(Dataset& dataset, std::string text) {
  dataset.SetFiltered(false);
  dataset.SetFilter(std::move(text));
  dataset.SetFiltered(true);
  dataset.First();
}

}  // namespace zlv
