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

#include <cstddef>
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

// The bounds of one message, beside the frame's 64 MiB (docs/protocol.md). Each is far above
// what a real exchange carries (a download of 100 orders with a dozen items each is about
// 40,000 values, its largest packet a few thousand rows of at most a hundred-odd fields), and
// together they keep what one message can make a receiver hold to a few hundred MiB: a value
// costs the decoder some 60 bytes however few bytes it took on the wire.
inline constexpr std::size_t kMaxMessageValues = 2'000'000;  // values and containers
inline constexpr std::size_t kMaxTextBytes = 1024 * 1024;    // one text, in UTF-8
inline constexpr std::size_t kMaxPacketFields = 1'000;
inline constexpr std::size_t kMaxPacketRows = 100'000;

// Throws std::invalid_argument for a value JSON cannot carry (a non-finite float).
nlohmann::json VariantToJson(const Variant& value);
// Throws ProtocolError naming the fault, or the bound a packet exceeds. The first form takes
// the texts out of the value and releases its parts as they are converted, so that a large
// message is not held twice.
Variant VariantFromJson(nlohmann::json&& value);
Variant VariantFromJson(const nlohmann::json& value);

// Parses a frame payload. Throws ProtocolError for text that is not one JSON value in UTF-8,
// that nests deeper than kMaxJsonDepth, holds more than kMaxMessageValues values or a text
// longer than kMaxTextBytes; the parse stops at the first value over a bound.
nlohmann::json ParseJsonText(std::string_view text);
// Serialises for the wire. Text that is not valid UTF-8 (it should never be) is sent with
// U+FFFD in place of the bad bytes rather than failing the whole exchange.
std::string DumpJsonText(const nlohmann::json& value);

}  // namespace zlv
