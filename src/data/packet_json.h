// The JSON value form of a data packet, for callers that embed packets in larger JSON
// documents (the central server protocol). Same validation as PacketFromJson.
#pragma once

#include <nlohmann/json.hpp>

#include "data/data_packet.h"

namespace zlv {

nlohmann::json PacketToJsonValue(const DataPacket& packet);
DataPacket PacketFromJsonValue(const nlohmann::json& value);
// True when a JSON value has the shape of a packet (an object with "fields" and "rows").
bool LooksLikePacket(const nlohmann::json& value);

}  // namespace zlv
