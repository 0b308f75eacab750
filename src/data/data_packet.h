// DataPacket: a table of typed fields and rows, as a query's result, an in-memory dataset's
// contents or a central server argument. One encoding on disk and on the wire, JSON:
//   {"fields":[{"name":"CDFILIAL","type":"string","size":4},...],"rows":[["0001",...],...]}
// types "string", "integer", "float", "datetime" (cells "YYYY-MM-DDTHH:MM:SS[.fff]"),
// "boolean"; a null cell is null.
//
// Every cell of a row is Null or a value of its field's type (Text, Integer, Float, DateTime,
// Boolean). Field names are matched without regard to case, as the statements' column names are.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/variant.h"

namespace zlv {

enum class FieldType { String, Integer, Float, DateTime, Boolean };

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  int size = 0;  // characters for strings; 0 elsewhere
  friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

struct DataPacket {
  std::vector<FieldDef> fields;
  std::vector<std::vector<Variant>> rows;

  int FieldIndex(std::string_view name) const;  // -1 when absent
  bool empty() const { return rows.empty(); }
  friend bool operator==(const DataPacket&, const DataPacket&) = default;
};

// The index of the first field whose name an earlier field already has (without regard to
// case); -1 when every name differs. Linear in the number of fields, as a packet from the
// central server may carry any number of them.
int FirstRepeatedField(const std::vector<FieldDef>& fields);

const char* FieldTypeName(FieldType type);
// Converts a value to the storage form of a field type (Null stays Null); throws
// std::invalid_argument naming the field when it cannot be converted.
Variant CoerceToField(const Variant& value, const FieldDef& field);

// JSON encoding. Decoding validates everything (shape, field types, row widths, cell types,
// date-times) and throws std::runtime_error naming what is wrong; it never returns a
// half-loaded packet.
std::string PacketToJson(const DataPacket& packet);
DataPacket PacketFromJson(std::string_view json);

// Files hold the same JSON. Saving writes a temporary file beside the target and renames it
// over the target, so a reader never sees half a file.
void SavePacketFile(const std::filesystem::path& path, const DataPacket& packet);
DataPacket LoadPacketFile(const std::filesystem::path& path);

}  // namespace zlv
