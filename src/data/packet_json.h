// The JSON value form of a data packet, for callers that embed packets in larger JSON
// documents (the central server protocol). Same validation as PacketFromJson.
#pragma once

#include <nlohmann/json.hpp>

#include "data/data_packet.h"

namespace zlv {

nlohmann::json PacketToJsonValue(const DataPacket& packet);
// Takes the texts out of the value and releases each row once it is converted, so a large
// packet is not held twice; the value is left partly emptied.
DataPacket PacketFromJsonValue(nlohmann::json&& value);
DataPacket PacketFromJsonValue(const nlohmann::json& value);
// True when a JSON value has the shape of a packet (an object with "fields" and "rows").
bool LooksLikePacket(const nlohmann::json& value);

}  // namespace zlv
