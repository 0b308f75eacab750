// Fuzz target: the data packet decoders, as packets arrive from the central server (inside a
// protocol value) and from files (routing files, the local parameter file). A packet that
// decodes must hold only cells of its fields' types, survive a round trip unchanged and load
// into an in-memory dataset; anything else must be refused with an error, never half loaded.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "data/data_packet.h"
#include "data/dataset.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_json.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckPacket(const zlv::DataPacket& packet) {
  for (const auto& row : packet.rows) {
    Check(row.size() == packet.fields.size());
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (row[i].IsNull()) continue;
      // Already of the field's type: coercion keeps it as it is.
      Check(zlv::CoerceToField(row[i], packet.fields[i]) == row[i]);
    }
  }
  Check(zlv::PacketFromJson(zlv::PacketToJson(packet)) == packet);
  zlv::Dataset dataset(packet);
  Check(dataset.RecordCount() == static_cast<int>(packet.rows.size()));
  Check(dataset.Packet() == packet);
}

void CheckValue(const zlv::Variant& value, int depth) {
  if (depth > zlv::kMaxJsonDepth + 1) __builtin_trap();
  if (value.IsPacket()) CheckPacket(value.AsPacket());
  if (value.IsArray()) {
    for (const auto& item : value.AsArray()) CheckValue(item, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    CheckPacket(zlv::PacketFromJson(text));
  } catch (const std::runtime_error&) {
  } catch (const std::invalid_argument&) {
  }
  try {
    CheckValue(zlv::VariantFromJson(zlv::ParseJsonText(text)), 0);
  } catch (const zlv::ProtocolError&) {
  }
  return 0;
}
