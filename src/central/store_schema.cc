#include "central/store_schema.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "database/database.h"

namespace zlv {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

int DeclaredSize(const std::string& declared) {
  const auto open = declared.find('(');
  if (open == std::string::npos) return 0;
  int size = 0;
  for (std::size_t i = open + 1;
       i < declared.size() && std::isdigit(static_cast<unsigned char>(declared[i])); ++i) {
    size = size * 10 + (declared[i] - '0');
    if (size > 1'000'000) break;
  }
  return size;
}

}  // namespace

FieldDef FieldFromDeclaredType(const std::string& name, const std::string& declared) {
  const std::string type = Upper(declared);
  FieldDef field{Upper(name), FieldType::String, 0};
  const auto has = [&type](const char* word) { return type.find(word) != std::string::npos; };
  if (has("CHAR") || has("TEXT") || has("CLOB")) {
    field.size = DeclaredSize(type);
  } else if (has("DATE") || has("TIME")) {
    field.type = FieldType::DateTime;
  } else if (has("INT") || has("BIT")) {
    field.type = FieldType::Integer;
  } else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC") ||
             has("MONEY")) {
    field.type = FieldType::Float;
  }
  return field;
}

StoreSchema StoreSchema::FromDatabase(Database& db) {
  StoreSchema schema;
  const DataPacket tables = db.Query(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'", {});
  for (const auto& table_row : tables.rows) {
    const std::string table = table_row.at(0).AsText();
    const DataPacket info = db.Query("PRAGMA table_info(\"" + table + "\")", {});
    const int name_at = info.FieldIndex("name");
    const int type_at = info.FieldIndex("type");
    const int notnull_at = info.FieldIndex("notnull");
    const int default_at = info.FieldIndex("dflt_value");
    if (name_at < 0 || type_at < 0 || notnull_at < 0 || default_at < 0) {
      throw std::runtime_error("PRAGMA table_info gave no columns");
    }
    auto& columns = schema.tables_[Upper(table)];
    for (const auto& row : info.rows) {
      columns.push_back(FieldFromDeclaredType(row.at(name_at).AsText(), row.at(type_at).AsText()));
      if (row.at(notnull_at).AsInteger() != 0 && row.at(default_at).IsEmptyOrNull()) {
        schema.required_.insert(Upper(table) + "." + columns.back().name);
      }
    }
  }
  return schema;
}

StoreSchema StoreSchema::FromScript(const std::filesystem::path& script) {
  const std::string text = ReadTextFile(script);
  auto db = OpenDatabase("sqlite::memory:");
  try {
    db->Execute(text, {}, 0);
  } catch (const std::exception& e) {
    throw std::runtime_error("schema " + script.string() + ": " + e.what());
  }
  return FromDatabase(*db);
}

bool StoreSchema::HasTable(const std::string& table) const {
  return tables_.count(Upper(table)) > 0;
}

const std::vector<FieldDef>& StoreSchema::Columns(const std::string& table) const {
  const auto it = tables_.find(Upper(table));
  if (it == tables_.end())
    throw std::out_of_range("table " + table + " is not in the store schema");
  return it->second;
}

bool StoreSchema::IsRequired(const std::string& table, const std::string& column) const {
  return required_.count(Upper(table) + "." + Upper(column)) > 0;
}

std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace zlv
