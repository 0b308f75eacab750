#include "ticket_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zlv::test {

TicketWatch::TicketWatch(const std::filesystem::path& folder) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("inotify_init1 failed");
  if (::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    ::close(fd_);
    throw std::runtime_error("cannot watch " + folder.string());
  }
}

TicketWatch::~TicketWatch() { ::close(fd_); }

std::vector<std::string> TicketWatch::Take() {
  std::vector<std::string> names;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0) continue;
      const std::string name = event->name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) names.push_back(name);
    }
  }
  return names;
}

}  // namespace zlv::test
