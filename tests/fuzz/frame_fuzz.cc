// Fuzz target: the client's side of the wire. The input is what a central server (or anything
// listening on its port) could send: a stream of frames, each holding a JSON-RPC response.
// Every frame the reader takes off the stream must re-encode to the same bytes, and every
// response must decode to a value or fail with the protocol's own errors, never crash, hang
// or leak.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/variant.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void DecodeResponse(const std::string& payload) {
  try {
    const zlv::Variant result = zlv::ParseResponse(payload, 1);
    // What the client accepted is sent on (uploads echo packets back): it must encode.
    (void)zlv::DumpJsonText(zlv::VariantToJson(result));
  } catch (const zlv::RemoteError&) {
  } catch (const zlv::ProtocolError&) {
  } catch (const std::invalid_argument&) {
    // A float the decoder took that JSON cannot carry back; reported, not a crash.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view stream(reinterpret_cast<const char*>(data), size);
  try {
    for (;;) {
      std::size_t consumed = 0;
      const auto payload = zlv::DecodeFrame(stream, consumed);
      if (!payload) {
        Check(consumed == 0);
        break;
      }
      Check(consumed == zlv::kFrameHeaderSize + payload->size() && consumed <= stream.size());
      Check(zlv::EncodeFrame(*payload) == stream.substr(0, consumed));
      DecodeResponse(*payload);
      stream.remove_prefix(consumed);
    }
  } catch (const zlv::ProtocolError&) {
    // An over-limit length: the connection is dropped.
  }
  return 0;
}
