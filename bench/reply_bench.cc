// What decoding a server reply costs at the sizes the frame limit lets a server send: the
// peak resident size of the process (VmHWM, reset before each case) and the time to parse,
// check and convert the reply into values, as the store's client does with each answer.
//
// The replies are built while the clock is paused; the timed part is the decode alone.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "data/data_packet.h"
#include "platform/memory_trim.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

namespace zlv::bench {
namespace {

// The kernel's high-water mark of the resident size, in MiB; -1 where it cannot be read.
double PeakResidentMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

// Frees what earlier cases left to the allocator and starts the high-water mark again from
// the present resident size (Linux: "5" to clear_refs).
void ResetPeakResident() {
  platform::TrimWorkingSet();
  std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Fields(const char* prefix, int count, const char* type) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (!text.empty()) text += ',';
    text +=
        std::string("{\"name\":\"") + prefix + std::to_string(i) + "\",\"type\":\"" + type + "\"}";
  }
  return text;
}

constexpr std::size_t kMiB = 1024 * 1024;
constexpr int kRowCells = 16;

// A reply of `size` bytes whose packets hold `rows_per_packet` rows each of 16 `cell`s (of
// `type`) and one text of `text_size` bytes, as many rows as fit.
std::string Reply(std::size_t size, std::size_t rows_per_packet, const std::string& cell,
                  const char* type, std::size_t text_size) {
  const std::string head = "{\"fields\":[" + Fields("N", kRowCells, type) + "," +
                           Fields("T", 1, "string") + "],\"rows\":[";
  std::string row = "[";
  for (int i = 0; i < kRowCells; ++i) row += cell + ",";
  row += "\"" + std::string(text_size, 'x') + "\"]";
  std::string reply = "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":[";
  reply.reserve(size);
  const std::size_t tail = 8;
  bool more = true;
  while (more) {
    if (reply.back() != '[') reply += ',';
    reply += head;
    for (std::size_t r = 0; r < rows_per_packet; ++r) {
      if (reply.size() + head.size() + 2 * row.size() + tail > size) {
        more = false;
        break;
      }
      if (r > 0) reply += ',';
      reply += row;
    }
    reply += "]}";
  }
  reply += "]}";
  return reply;
}

void DecodeCase(benchmark::State& state, std::size_t rows_per_packet, const std::string& cell,
                const char* type, std::size_t text_size) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
  double peak = 0, accepted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string payload =
        Reply(std::min(size, kMaxFramePayload), rows_per_packet, cell, type, text_size);
    ResetPeakResident();
    state.ResumeTiming();
    try {
      // As the client does: the frame is released once parsed.
      nlohmann::json message = ParseJsonText(payload);
      std::string().swap(payload);
      const Variant result = ResponseResult(std::move(message), 1);
      accepted = result.IsArray() ? 1 : 0;
    } catch (const ProtocolError& e) {
      accepted = 0;
      state.SetLabel(std::string(e.what()).substr(0, 100));
    }
    state.PauseTiming();
    peak = PeakResidentMiB();
    state.ResumeTiming();
  }
  state.counters["peak_rss_mib"] = peak;
  state.counters["accepted"] = accepted;
}

// As many one-digit integers as the frame holds: the most values per byte a reply can carry.
void BM_DecodeTinyValueReply(benchmark::State& state) {
  DecodeCase(state, 1'000'000'000, "0", "integer", 0);
}

// Texts of 16 characters, the shortest kept outside the value itself: the most memory per
// byte. 32 MiB of them is about the most values a message may hold.
void BM_DecodeShortTextReply(benchmark::State& state) {
  DecodeCase(state, 50'000, "\"abcdefghijklmnop\"", "string", 16);
}

// Download-shaped: packets of 50,000 rows, each row 16 small numbers and a 600-byte text; at
// 64 MiB, just under the most values a message may hold.
void BM_DecodeRowsWithTextReply(benchmark::State& state) {
  DecodeCase(state, 50'000, "0", "integer", 600);
}

// One packet of `fields` distinct field names and one row: the duplicate-name check of the
// packet decoder, which every packet of every message goes through.
void BM_DecodeManyFieldPacket(benchmark::State& state) {
  const int fields = static_cast<int>(state.range(0));
  std::string row = "[";
  for (int i = 0; i < fields; ++i) row += i == 0 ? "0" : ",0";
  const std::string packet =
      "{\"fields\":[" + Fields("CAMPO", fields, "integer") + "],\"rows\":[" + row + "]]}";
  const std::string reply = "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":" + packet + "}";
  for (auto _ : state) {
    // The packet decoder alone, then the whole road of a message (which refuses a packet over
    // the field bound once it is parsed).
    const DataPacket decoded = PacketFromJson(packet);
    if (decoded.fields.size() != static_cast<std::size_t>(fields)) state.SkipWithError("lost");
    try {
      ResponseResult(ParseJsonText(reply), 1);
    } catch (const ProtocolError&) {
    }
  }
}

BENCHMARK(BM_DecodeTinyValueReply)
    ->ArgName("mib")
    ->Arg(1)
    ->Arg(64)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DecodeShortTextReply)
    ->ArgName("mib")
    ->Arg(1)
    ->Arg(32)
    ->Arg(64)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DecodeRowsWithTextReply)
    ->ArgName("mib")
    ->Arg(1)
    ->Arg(64)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DecodeManyFieldPacket)
    ->ArgName("fields")
    ->Arg(1000)
    ->Arg(160'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace zlv::bench
