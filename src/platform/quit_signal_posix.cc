#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/quit_signal.h"
#include "platform/system_error_text.h"

namespace zlv {

namespace {

std::atomic<QuitSignal*> g_signal_target{nullptr};

extern "C" void OnTerminationSignal(int) {
  if (QuitSignal* target = g_signal_target.load()) target->Post();
}

}  // namespace

QuitSignal::QuitSignal() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    platform::ThrowPosixError("pipe", errno);
  }
  read_fd_ = fds[0];
  write_fd_ = fds[1];
}

QuitSignal::~QuitSignal() {
  QuitSignal* self = this;
  g_signal_target.compare_exchange_strong(self, nullptr);
  close(read_fd_);
  close(write_fd_);
}

void QuitSignal::Post() noexcept {
  posted_.store(true);
  const char byte = 'q';
  // A full pipe already wakes the waiter; nothing more is needed then.
  const int saved_errno = errno;
  [[maybe_unused]] const ssize_t written = write(write_fd_, &byte, 1);
  errno = saved_errno;
}

bool QuitSignal::WaitFor(double seconds) {
  if (posted_.load()) return true;
  pollfd fd{read_fd_, POLLIN, 0};
  const int timeout_ms = seconds <= 0 ? 0 : static_cast<int>(std::ceil(seconds * 1000.0));
  const int rc = poll(&fd, 1, timeout_ms);
  if (rc < 0 && errno != EINTR) {
    platform::ThrowPosixError("poll", errno);
  }
  return posted_.load();
}

void QuitSignal::HandleTerminationSignals() {
  g_signal_target.store(this);
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace zlv
