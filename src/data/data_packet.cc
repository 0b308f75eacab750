#include "data/data_packet.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

#include "data/file_replace.h"
#include "data/packet_json.h"
#include "data/text_fold.h"

namespace zlv {

int DataPacket::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (EqualsNoCase(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int FirstRepeatedField(const std::vector<FieldDef>& fields) {
  std::unordered_set<std::string> seen;
  seen.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (!seen.insert(LowerAscii(fields[i].name)).second) return static_cast<int>(i);
  }
  return -1;
}

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::String:
      return "string";
    case FieldType::Integer:
      return "integer";
    case FieldType::Float:
      return "float";
    case FieldType::DateTime:
      return "datetime";
    case FieldType::Boolean:
      return "boolean";
  }
  return "?";
}

namespace {

Variant Coerce(const Variant& value, FieldType type) {
  // An empty text clears a number, date or flag field, as typing nothing into it would.
  if (type != FieldType::String && value.IsText() && value.AsText().empty()) {
    return Variant::Null();
  }
  switch (type) {
    case FieldType::String:
      return value.IsText() ? value : Variant(value.AsText());
    case FieldType::Integer:
      if (value.type() == Variant::Type::Float) {
        const double f = value.AsFloat();
        // A fraction would be lost without a word.
        if (f != std::trunc(f)) {
          throw std::invalid_argument(value.AsText() + " is not a whole number");
        }
      }
      return Variant(value.AsInteger());
    case FieldType::Float:
      return Variant(value.AsFloat());
    case FieldType::DateTime:
      return Variant(value.AsDateTime());
    case FieldType::Boolean:
      return Variant(value.AsBoolean());
  }
  return value;
}

}  // namespace

Variant CoerceToField(const Variant& value, const FieldDef& field) {
  if (value.IsEmptyOrNull()) return Variant::Null();
  try {
    return Coerce(value, field.type);
  } catch (const std::exception& e) {
    throw std::invalid_argument("field " + field.name + " (" + FieldTypeName(field.type) +
                                "): " + e.what());
  }
}

std::string PacketToJson(const DataPacket& packet) {
  try {
    return PacketToJsonValue(packet).dump();
  } catch (const nlohmann::json::exception& e) {
    // Texts that are not UTF-8 cannot go into JSON; saying so beats writing a damaged packet.
    throw std::runtime_error(std::string("data packet cannot be encoded: ") + e.what());
  }
}

DataPacket PacketFromJson(std::string_view json) {
  nlohmann::json value;
  try {
    value = nlohmann::json::parse(json.begin(), json.end());
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(std::string("data packet is not valid JSON: ") + e.what());
  }
  return PacketFromJsonValue(std::move(value));
}

void SavePacketFile(const std::filesystem::path& path, const DataPacket& packet) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  ReplaceFileContents(path, temp, PacketToJson(packet));
}

DataPacket LoadPacketFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open file " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read file " + path.string());
  try {
    return PacketFromJson(text.str());
  } catch (const std::exception& e) {
    throw std::runtime_error(path.string() + ": " + e.what());
  }
}

}  // namespace zlv
