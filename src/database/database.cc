#include "database/database.h"

#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "database/connection_string.h"
#include "database/driver_common.h"
#include "database/odbc_database.h"
#include "database/sqlite_database.h"

namespace zlv {

std::unique_ptr<Database> OpenDatabase(const std::string& connection_string) {
  if (connection_string.empty()) {
    throw DatabaseError("String de conexão vazia");
  }
  if (std::optional<std::string> target = SqliteTarget(connection_string)) {
    return std::make_unique<SqliteDatabase>(*target);
  }
  return std::make_unique<OdbcDatabase>(connection_string);
}

void MakeFieldNamesUnique(std::vector<FieldDef>* fields) {
  std::unordered_set<std::string> taken;
  for (const FieldDef& field : *fields) taken.insert(AsciiUpper(field.name));
  std::unordered_set<std::string> seen;
  for (FieldDef& field : *fields) {
    if (seen.insert(AsciiUpper(field.name)).second) continue;
    for (int n = 1;; ++n) {
      std::string candidate = field.name + "_" + std::to_string(n);
      if (taken.insert(AsciiUpper(candidate)).second) {
        field.name = candidate;
        seen.insert(AsciiUpper(candidate));
        break;
      }
    }
  }
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiUpper(a) == AsciiUpper(b);
}

double FixedPointDecimal(double value) {
  constexpr double kScale = 10000.0;
  return std::round(value * kScale) / kScale;
}

}  // namespace zlv
