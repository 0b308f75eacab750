// Reading a SQLite result into a data packet. SQLite keeps a storage class per value, not per
// column, so the field types come from the columns' declared types (as the store's SQL Server
// columns would report them), and an expression's type from the values it returned.
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "database/driver_common.h"
#include "database/sqlite_database.h"

namespace zlv {

namespace {

enum class Declared { None, DateTime, Integer, Decimal, Float, String };

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

Declared DeclaredKind(const char* decltype_text) {
  if (decltype_text == nullptr || *decltype_text == '\0') return Declared::None;
  const std::string decl = AsciiUpper(decltype_text);
  if (Contains(decl, "DATE") || Contains(decl, "TIME")) return Declared::DateTime;
  if (Contains(decl, "INT")) return Declared::Integer;
  if (Contains(decl, "NUMERIC") || Contains(decl, "DECIMAL") || Contains(decl, "MONEY")) {
    return Declared::Decimal;
  }
  if (Contains(decl, "REAL") || Contains(decl, "FLOAT") || Contains(decl, "DOUBLE")) {
    return Declared::Float;
  }
  return Declared::String;
}

// "VARCHAR(10)" -> 10; 0 when the type carries no length.
int DeclaredSize(const char* decltype_text) {
  if (decltype_text == nullptr) return 0;
  const char* open = std::strchr(decltype_text, '(');
  return open == nullptr ? 0 : std::atoi(open + 1);
}

Variant RawValue(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
      return Variant(static_cast<int64_t>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
      return Variant::Null();
    default: {  // text, and blobs read as their bytes
      const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
      return Variant(std::string(data == nullptr ? "" : data,
                                 static_cast<size_t>(sqlite3_column_bytes(stmt, column))));
    }
  }
}

FieldType TypeFromValues(const std::vector<std::vector<Variant>>& rows, size_t column) {
  bool any_integer = false, any_float = false;
  for (const auto& row : rows) {
    switch (row[column].type()) {
      case Variant::Type::Text:
        return FieldType::String;
      case Variant::Type::Float:
        any_float = true;
        break;
      case Variant::Type::Integer:
        any_integer = true;
        break;
      default:
        break;
    }
  }
  if (any_float) return FieldType::Float;
  return any_integer ? FieldType::Integer : FieldType::String;
}

Variant Typed(const Variant& raw, Declared declared, FieldType type, bool decimals_as_float) {
  if (raw.IsNull()) return raw;
  switch (type) {
    case FieldType::DateTime: {
      if (!raw.IsText()) throw std::invalid_argument("data gravada como número");
      if (raw.AsText().empty()) return Variant::Null();
      auto parsed = DateTime::ParseIso(raw.AsText());
      if (!parsed) throw std::invalid_argument("data inválida '" + raw.AsText() + "'");
      return Variant(*parsed);
    }
    case FieldType::Integer:
      return Variant(raw.AsInteger());
    case FieldType::Float: {
      const double value = raw.AsFloat();
      return Variant(declared == Declared::Decimal && !decimals_as_float ? FixedPointDecimal(value)
                                                                         : value);
    }
    default:
      return Variant(raw.AsText());
  }
}

}  // namespace

DataPacket ReadSqliteRows(sqlite3_stmt* stmt, const QueryOptions& options, int* rc) {
  DataPacket packet;
  const int columns = sqlite3_column_count(stmt);
  std::vector<Declared> declared(columns);
  for (int c = 0; c < columns; ++c) {
    const char* decl = sqlite3_column_decltype(stmt, c);
    declared[c] = DeclaredKind(decl);
    FieldDef field{sqlite3_column_name(stmt, c), FieldType::String, 0};
    switch (declared[c]) {
      case Declared::DateTime:
        field.type = FieldType::DateTime;
        break;
      case Declared::Integer:
        field.type = FieldType::Integer;
        break;
      case Declared::Decimal:
      case Declared::Float:
        field.type = FieldType::Float;
        break;
      default:
        field.size = DeclaredSize(decl);
        break;
    }
    packet.fields.push_back(std::move(field));
  }
  while ((*rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<Variant> row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) row.push_back(RawValue(stmt, c));
    packet.rows.push_back(std::move(row));
  }
  for (int c = 0; c < columns; ++c) {
    FieldDef& field = packet.fields[c];
    if (declared[c] == Declared::None) field.type = TypeFromValues(packet.rows, c);
    for (auto& row : packet.rows) {
      try {
        row[c] = Typed(row[c], declared[c], field.type, options.decimals_as_float);
      } catch (const std::invalid_argument& e) {
        throw DatabaseError("Coluna " + field.name + ": " + e.what());
      }
    }
  }
  MakeFieldNamesUnique(&packet.fields);
  return packet;
}

}  // namespace zlv
