#include "sync/protocol_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace zlv {
namespace {

std::string Header(std::size_t size) {
  const auto header = EncodeFrameHeader(size);
  return std::string(header.begin(), header.end());
}

TEST(ProtocolFrame, PayloadsOfEverySizeClassComeBackUnchanged) {
  for (std::size_t size : {0u, 1u, 255u, 256u, 65'535u, 65'536u, 1'000'003u}) {
    std::string payload(size, '\0');
    for (std::size_t i = 0; i < size; ++i) payload[i] = static_cast<char>(i * 7 + 3);
    const std::string frame = EncodeFrame(payload);
    ASSERT_EQ(frame.size(), size + kFrameHeaderSize);
    std::size_t consumed = 0;
    const auto decoded = DecodeFrame(frame, consumed);
    ASSERT_TRUE(decoded.has_value()) << size;
    EXPECT_EQ(*decoded, payload);
    EXPECT_EQ(consumed, frame.size());
  }
}

TEST(ProtocolFrame, LengthIsBigEndian) {
  EXPECT_EQ(Header(0x01020304), std::string("\x01\x02\x03\x04", 4));
  const unsigned char header[kFrameHeaderSize] = {0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(DecodeFrameLength(header), 256u);
}

TEST(ProtocolFrame, BackToBackFramesAreSplitAtTheirBoundaries) {
  const std::string stream = EncodeFrame("{\"a\":1}") + EncodeFrame("") + EncodeFrame("[2]");
  std::string_view rest = stream;
  std::vector<std::string> payloads;
  std::size_t consumed = 0;
  while (auto payload = DecodeFrame(rest, consumed)) {
    payloads.push_back(*payload);
    rest.remove_prefix(consumed);
  }
  EXPECT_EQ(payloads, (std::vector<std::string>{"{\"a\":1}", "", "[2]"}));
  EXPECT_TRUE(rest.empty());
}

TEST(ProtocolFrame, EveryTruncatedPrefixWaitsForMoreInsteadOfYieldingAPayload) {
  const std::string frame = EncodeFrame("{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":null}");
  for (std::size_t cut = 0; cut < frame.size(); ++cut) {
    std::size_t consumed = 99;
    EXPECT_FALSE(DecodeFrame(std::string_view(frame).substr(0, cut), consumed).has_value())
        << "prefix of " << cut << " bytes";
    EXPECT_EQ(consumed, 0u);
  }
}

TEST(ProtocolFrame, OverLimitLengthIsRejectedFromTheHeaderAlone) {
  // Only the 4 header bytes: the decoder must refuse before waiting for (or allocating) 64 MiB.
  std::size_t consumed = 0;
  EXPECT_THROW(DecodeFrame(std::string("\x04\x00\x00\x01", 4), consumed), ProtocolError);
  EXPECT_THROW(DecodeFrame(std::string("\xFF\xFF\xFF\xFF", 4), consumed), ProtocolError);
  EXPECT_THROW(EncodeFrameHeader(kMaxFramePayload + 1), ProtocolError);
  // The limit itself is allowed: a partial frame of exactly 64 MiB is still being waited for.
  EXPECT_FALSE(DecodeFrame(Header(kMaxFramePayload), consumed).has_value());
}

}  // namespace
}  // namespace zlv
