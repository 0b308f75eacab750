// Runs a fuzz target over its seed corpus (and every crash reproducer kept beside it) as an
// ordinary test, so the compilers without libFuzzer still run what the fuzzers found.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// ZLV_FUZZ_SUITE names the target (FrameFuzzCorpus, ...), so CTest tells the binaries apart.
TEST(ZLV_FUZZ_SUITE, EverySeedRunsCleanThroughTheTarget) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ZLV_FUZZ_CORPUS)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no seed in " << ZLV_FUZZ_CORPUS;
}

}  // namespace
