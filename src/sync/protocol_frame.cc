#include "sync/protocol_frame.h"

namespace zlv {

namespace {

std::string OverLimitMessage(std::size_t size) {
  return "quadro de " + std::to_string(size) + " bytes excede o limite de " +
         std::to_string(kMaxFramePayload) + " bytes";
}

}  // namespace

std::array<unsigned char, kFrameHeaderSize> EncodeFrameHeader(std::size_t size) {
  if (size > kMaxFramePayload) throw ProtocolError(OverLimitMessage(size));
  return {static_cast<unsigned char>((size >> 24) & 0xFF),
          static_cast<unsigned char>((size >> 16) & 0xFF),
          static_cast<unsigned char>((size >> 8) & 0xFF), static_cast<unsigned char>(size & 0xFF)};
}

std::string EncodeFrame(std::string_view payload) {
  const auto header = EncodeFrameHeader(payload.size());
  std::string frame(header.begin(), header.end());
  frame.append(payload);
  return frame;
}

std::size_t DecodeFrameLength(const unsigned char (&header)[kFrameHeaderSize]) {
  const std::size_t size = (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) |
                           (std::size_t{header[2]} << 8) | std::size_t{header[3]};
  if (size > kMaxFramePayload) throw ProtocolError(OverLimitMessage(size));
  return size;
}

std::optional<std::string> DecodeFrame(std::string_view buffer, std::size_t& consumed) {
  consumed = 0;
  if (buffer.size() < kFrameHeaderSize) return std::nullopt;
  unsigned char header[kFrameHeaderSize];
  for (std::size_t i = 0; i < kFrameHeaderSize; ++i) {
    header[i] = static_cast<unsigned char>(buffer[i]);
  }
  const std::size_t size = DecodeFrameLength(header);
  if (buffer.size() - kFrameHeaderSize < size) return std::nullopt;
  consumed = kFrameHeaderSize + size;
  return std::string(buffer.substr(kFrameHeaderSize, size));
}

}  // namespace zlv
