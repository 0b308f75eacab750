// The value codec of the central server protocol: Variant <-> JSON value, and JSON text
// parsing with the protocol's limits. Pure functions, shared by the client, the reference
// server and the fuzzers.
//
//   Empty, Null          null            (null decodes to Null)
//   Text                 string
//   Integer              integer number
//   Float                number with a fraction or exponent (5.0 stays a Float)
//   Boolean              true / false
//   DateTime             {"datetime":"YYYY-MM-DDTHH:MM:SS[.fff]"}
//   Array                array of values
//   DataPacket           {"fields":[...],"rows":[...]} (data/packet_json.h)
//
// Decoding checks everything and throws ProtocolError naming the fault; it never returns a
// half-decoded value. Thread-safe (no state).
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "data/variant.h"
#include "sync/protocol_frame.h"

namespace zlv {

// Deepest nesting of arrays and objects a message may have. A real message nests about eight
// levels (request, params, argument array, packet, rows, row); the limit keeps a hostile
// message from exhausting the stack of the recursive decoder.
inline constexpr int kMaxJsonDepth = 64;

// Throws std::invalid_argument for a value JSON cannot carry (a non-finite float).
nlohmann::json VariantToJson(const Variant& value);
Variant VariantFromJson(const nlohmann::json& value);

// Parses a frame payload. Throws ProtocolError for text that is not one JSON value in UTF-8 or
// that nests deeper than kMaxJsonDepth.
nlohmann::json ParseJsonText(std::string_view text);
// Serialises for the wire. Text that is not valid UTF-8 (it should never be) is sent with
// U+FFFD in place of the bad bytes rather than failing the whole exchange.
std::string DumpJsonText(const nlohmann::json& value);

}  // namespace zlv
