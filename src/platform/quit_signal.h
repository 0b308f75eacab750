// QuitSignal: the main loop's quit message. Posting it ends the loop at its next wait; the
// stop request of the service manager, the termination signals and the form itself post it.
//
// Post() may be called from any thread and from a signal handler. WaitFor() belongs to the
// thread that runs the loop. HandleTerminationSignals() routes SIGTERM and SIGINT (Windows:
// the console's close and break events) to this signal for the rest of the process's life,
// so the object must outlive the loop; it is neither copied nor moved.
#pragma once

#include <atomic>

namespace zlv {

class QuitSignal {
 public:
  QuitSignal();
  ~QuitSignal();
  QuitSignal(const QuitSignal&) = delete;
  QuitSignal& operator=(const QuitSignal&) = delete;

  void Post() noexcept;
  bool Posted() const { return posted_.load(); }
  // Waits up to seconds (0: just looks) for the quit message; true once it has been posted.
  bool WaitFor(double seconds);

  void HandleTerminationSignals();

 private:
  std::atomic<bool> posted_{false};
  int read_fd_ = -1;  // a pipe: Post writes a byte, WaitFor polls for it
  int write_fd_ = -1;
};

}  // namespace zlv
