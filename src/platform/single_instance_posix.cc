#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/single_instance.h"

namespace zlv {

namespace {

bool UsableFolder(const char* folder) {
  return folder != nullptr && *folder != '\0' && access(folder, W_OK | X_OK) == 0;
}

// One folder for the whole machine: a user's runtime folder would let the service (root) and
// a process started by hand under another account each hold a lock of their own.
std::filesystem::path LockFolder() {
  if (const char* dir = std::getenv("ZLVSINC_LOCK_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (UsableFolder("/run/lock")) return "/run/lock";
  return "/tmp";
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const std::string file = (LockFolder() / (name + ".lock")).string();
  // O_CLOEXEC: a command started by this process (the watchdog's restart) must not inherit
  // the lock, or the new instance would find it held by its own starter.
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc == 0) {
    handle_ = fd;
    outcome_ = Outcome::kAcquired;
    return;
  }
  outcome_ = errno == EWOULDBLOCK ? Outcome::kAlreadyRunning : Outcome::kUnavailable;
  close(fd);
}

// The file stays: removing it could let a third process lock a new file of the same name
// while a second one still holds the old one.
void SingleInstanceLock::Release() noexcept {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace zlv
