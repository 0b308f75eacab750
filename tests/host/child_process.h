// Test helper: a program started for a test, its standard output and error written to files.
// The destructor kills it (SIGKILL) and reaps it if it still runs, so a failing test leaves
// nothing behind.
//
// For use on the test's own thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zlv::test {

class ChildProcess {
 public:
  // Starts program with args in the current environment; output goes to out_file/err_file.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& out_file, const std::filesystem::path& err_file);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The exit status once it ended within the time; nullopt when it still runs. A process
  // ended by a signal gives 128 + the signal's number, as a shell shows it.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();
  void Signal(int signal_number);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls until the predicate holds or the time is over; returns its last answer.
template <typename Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() >= deadline) return predicate();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace zlv::test
