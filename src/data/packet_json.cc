#include "data/packet_json.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "data/text_fold.h"

namespace zlv {
namespace {

using nlohmann::json;

constexpr FieldType kTypes[] = {FieldType::String, FieldType::Integer, FieldType::Float,
                                FieldType::DateTime, FieldType::Boolean};

json CellToJson(const Variant& cell, const FieldDef& field) {
  // Rows built by hand may hold a value of another type; the file gets the field's type.
  const Variant v = CoerceToField(cell, field);
  switch (v.IsNull() ? FieldType::String : field.type) {
    case FieldType::String:
      return v.IsNull() ? json(nullptr) : json(v.AsText());
    case FieldType::Integer:
      return v.AsInteger();
    case FieldType::Float: {
      const double f = v.AsFloat();
      // JSON has no NaN or infinity; writing null would silently turn the value into "no value".
      if (!std::isfinite(f)) {
        throw std::invalid_argument("field " + field.name + ": float value is not finite");
      }
      return f;
    }
    case FieldType::DateTime:
      return v.AsDateTime().ToPacketText();
    case FieldType::Boolean:
      return v.AsBoolean();
  }
  return nullptr;
}

[[noreturn]] void Bad(const std::string& what) {
  throw std::runtime_error("malformed data packet: " + what);
}

std::string FieldLabel(size_t index, const std::string& name) {
  return "field " + std::to_string(index + 1) + (name.empty() ? "" : " (" + name + ")");
}

FieldDef FieldFromJson(const json& j, size_t index) {
  if (!j.is_object()) Bad(FieldLabel(index, "") + " is not an object");
  FieldDef field;
  auto name = j.find("name");
  if (name == j.end() || !name->is_string() || name->get_ref<const std::string&>().empty()) {
    Bad(FieldLabel(index, "") + " has no name");
  }
  field.name = name->get<std::string>();
  auto type = j.find("type");
  if (type == j.end() || !type->is_string()) {
    Bad(FieldLabel(index, field.name) + " has no type");
  }
  const std::string& type_name = type->get_ref<const std::string&>();
  bool known = false;
  for (FieldType t : kTypes) {
    if (type_name == FieldTypeName(t)) {
      field.type = t;
      known = true;
    }
  }
  if (!known) Bad(FieldLabel(index, field.name) + " has unknown type \"" + type_name + "\"");
  if (auto size = j.find("size"); size != j.end()) {
    if (!size->is_number_integer() || size->get<int64_t>() < 0 ||
        size->get<int64_t>() > std::numeric_limits<int>::max()) {
      Bad(FieldLabel(index, field.name) + " has a bad size");
    }
    field.size = size->get<int>();
  }
  return field;
}

[[noreturn]] void BadCell(size_t row, const FieldDef& field, const std::string& what) {
  Bad("row " + std::to_string(row + 1) + ", field " + field.name + ": " + what);
}

Variant CellFromJson(json& j, const FieldDef& field, size_t row) {
  auto wrong = [&](const std::string& what) { BadCell(row, field, what); };
  if (j.is_null()) return Variant::Null();
  switch (field.type) {
    case FieldType::String:
      if (!j.is_string()) wrong("expected a string");
      return Variant(std::move(j.get_ref<std::string&>()));
    case FieldType::Integer:
      if (j.is_number_integer() && !j.is_number_unsigned()) return Variant(j.get<int64_t>());
      if (j.is_number_unsigned() &&
          j.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return Variant(static_cast<int64_t>(j.get<uint64_t>()));
      }
      BadCell(row, field, "expected an integer");
    case FieldType::Float:
      if (!j.is_number()) wrong("expected a number");
      return Variant(j.get<double>());
    case FieldType::DateTime: {
      if (!j.is_string()) wrong("expected a date-time text");
      const std::string& text = j.get_ref<const std::string&>();
      auto dt = DateTime::ParseIso(text);
      if (!dt) wrong("bad date-time \"" + text + "\"");
      return Variant(*dt);
    }
    case FieldType::Boolean:
      if (!j.is_boolean()) wrong("expected true or false");
      return Variant(j.get<bool>());
  }
  return Variant::Null();
}

}  // namespace

json PacketToJsonValue(const DataPacket& packet) {
  json fields = json::array();
  for (const FieldDef& f : packet.fields) {
    json field = {{"name", f.name}, {"type", FieldTypeName(f.type)}};
    if (f.type == FieldType::String || f.size != 0) field["size"] = f.size;
    fields.push_back(std::move(field));
  }
  json rows = json::array();
  for (size_t r = 0; r < packet.rows.size(); ++r) {
    const auto& row = packet.rows[r];
    if (row.size() != packet.fields.size()) {
      throw std::invalid_argument("data packet row " + std::to_string(r + 1) + " has " +
                                  std::to_string(row.size()) + " cells for " +
                                  std::to_string(packet.fields.size()) + " fields");
    }
    json cells = json::array();
    for (size_t c = 0; c < row.size(); ++c) cells.push_back(CellToJson(row[c], packet.fields[c]));
    rows.push_back(std::move(cells));
  }
  return json{{"fields", std::move(fields)}, {"rows", std::move(rows)}};
}

DataPacket PacketFromJsonValue(json&& value) {
  if (!value.is_object()) Bad("not a JSON object");
  auto fields = value.find("fields");
  auto rows = value.find("rows");
  if (fields == value.end() || !fields->is_array()) Bad("\"fields\" is missing or not a list");
  if (rows == value.end() || !rows->is_array()) Bad("\"rows\" is missing or not a list");

  DataPacket packet;
  packet.fields.reserve(fields->size());
  for (size_t i = 0; i < fields->size(); ++i) {
    packet.fields.push_back(FieldFromJson((*fields)[i], i));
  }
  if (const int repeated = FirstRepeatedField(packet.fields); repeated >= 0) {
    Bad("field " + packet.fields[static_cast<size_t>(repeated)].name + " appears twice");
  }
  packet.rows.reserve(rows->size());
  for (size_t r = 0; r < rows->size(); ++r) {
    json& row = (*rows)[r];
    if (!row.is_array()) Bad("row " + std::to_string(r + 1) + " is not a list");
    if (row.size() != packet.fields.size()) {
      Bad("row " + std::to_string(r + 1) + " has " + std::to_string(row.size()) + " cells for " +
          std::to_string(packet.fields.size()) + " fields");
    }
    std::vector<Variant> cells;
    cells.reserve(row.size());
    for (size_t c = 0; c < row.size(); ++c) {
      cells.push_back(CellFromJson(row[c], packet.fields[c], r));
    }
    packet.rows.push_back(std::move(cells));
    row = nullptr;  // its cells live on in the packet only
  }
  return packet;
}

DataPacket PacketFromJsonValue(const json& value) { return PacketFromJsonValue(json(value)); }

bool LooksLikePacket(const json& value) {
  return value.is_object() && value.contains("fields") && value.contains("rows");
}

}  // namespace zlv
