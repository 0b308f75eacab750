// A stand-in for the program in tests of the restart command: it appends one line
// "<pid> <session id> <working folder> <first argument>" to the file named by $ZLV_PROBE_OUT,
// then waits to be killed (60 s at most, so a failed test leaves nothing running for long).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
  const char* out = std::getenv("ZLV_PROBE_OUT");
  if (out == nullptr) return 2;
  {
    std::ofstream file(out, std::ios::app);
    file << getpid() << ' ' << getsid(0) << ' ' << std::filesystem::current_path().string() << ' '
         << (argc > 1 ? argv[1] : "-") << std::endl;
  }
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}
