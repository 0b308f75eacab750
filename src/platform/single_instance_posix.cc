#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/single_instance.h"
#include "platform/single_instance_folder.h"

namespace zlv {

namespace {

bool UsableFolder(const char* folder) {
  return folder != nullptr && *folder != '\0' && access(folder, W_OK | X_OK) == 0;
}

// root's own lock folder, made 0700. A folder that every account can write (/run/lock,
// /tmp) would let any user make the lock file first and hold it, and the service would take
// itself for a second instance and end; so root uses this folder only while it is a real
// folder of root's that no one else can write, and none otherwise.
constexpr const char* kRootLockFolder = "/run/zlvsinc";

std::filesystem::path RootLockFolder() {
  mkdir(kRootLockFolder, 0700);  // already there: checked below like any other
  struct stat info {};
  if (lstat(kRootLockFolder, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != 0 ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return {};
  }
  return kRootLockFolder;
}

// One folder for the whole machine, not a user's runtime folder, so that processes of one
// account started in any session see each other. root's processes (the service) lock in a
// folder no other account can reach; the others share the machine's lock folder.
std::filesystem::path LockFolder() {
  if (const char* dir = std::getenv("ZLVSINC_LOCK_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (geteuid() == 0) return RootLockFolder();
  if (UsableFolder("/run/lock")) return "/run/lock";
  return "/tmp";
}

}  // namespace

std::vector<std::filesystem::path> platform::SingleInstanceFolders() {
  if (const char* dir = std::getenv("ZLVSINC_LOCK_DIR"); dir != nullptr && *dir != '\0') {
    return {dir};
  }
  return {kRootLockFolder, "/run/lock", "/tmp"};
}

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const std::filesystem::path folder = LockFolder();
  if (folder.empty()) return;  // kUnavailable
  const std::string file = (folder / (name + ".lock")).string();
  // O_CLOEXEC: a command started by this process (the watchdog's restart) must not inherit
  // the lock, or the new instance would find it held by its own starter. O_NOFOLLOW: a link
  // put in a shared folder must not make this process create or lock another file.
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
