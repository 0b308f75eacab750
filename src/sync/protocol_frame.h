// Framing of the central server protocol: every message on the TCP connection is a frame, a
// 4-byte big-endian length followed by that many bytes of UTF-8 JSON. Pure functions over
// byte buffers, shared by the client, the reference server and the fuzzers.
//
// Thread-safe (no state).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zlv {

// A message that breaks the protocol (frame, JSON or value shape). The connection it came
// from cannot be trusted any more and is dropped.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// 64 MiB: far above the largest real exchange (a batch of 100 sales with their items is a few
// hundred KiB) and low enough that a corrupt or hostile length cannot make either side
// allocate without bound.
inline constexpr std::size_t kMaxFramePayload = 64u * 1024u * 1024u;
inline constexpr std::size_t kFrameHeaderSize = 4;

// The header announcing a payload of `size` bytes, and the header plus the payload. Both
// throw ProtocolError when the payload exceeds the limit.
std::array<unsigned char, kFrameHeaderSize> EncodeFrameHeader(std::size_t size);
std::string EncodeFrame(std::string_view payload);

// The payload length announced by a header. Throws ProtocolError when it exceeds the limit.
std::size_t DecodeFrameLength(const unsigned char (&header)[kFrameHeaderSize]);

// Takes one complete frame off the front of a buffer: its payload, with `consumed` set to the
// bytes used, or nullopt (consumed 0) while the buffer holds only part of a frame. Throws
// ProtocolError as soon as the header announces an over-limit payload.
std::optional<std::string> DecodeFrame(std::string_view buffer, std::size_t& consumed);

}  // namespace zlv
