// TicketWatch: the ticket files as the print spooler sees them appear, in the order they were
// written (each ticket is renamed to its .txt name when complete), read from the kernel's file
// events on the ticket folder (inotify). Modification times are too coarse to order files
// written within the same millisecond.
//
// Test thread only; Linux.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zlv::test {

class TicketWatch {
 public:
  explicit TicketWatch(const std::filesystem::path& folder);
  ~TicketWatch();
  TicketWatch(const TicketWatch&) = delete;
  TicketWatch& operator=(const TicketWatch&) = delete;

  // The .txt files that appeared since the last call, in order.
  std::vector<std::string> Take();

 private:
  int fd_ = -1;
};

}  // namespace zlv::test
