#include "scoped_mount.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zlv::test {

namespace fs = std::filesystem;

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// Enters a private mount namespace once; returns why it failed, if it did.
const std::optional<std::string>& PrivateNamespace() {
  static const std::optional<std::string> failure = []() -> std::optional<std::string> {
    if (unshare(CLONE_NEWNS) != 0) return Errno("unshare(CLONE_NEWNS)");
    // Without this, mounts made here would propagate back to the host's namespace.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return Errno("mount --make-rprivate /");
    }
    return std::nullopt;
  }();
  return failure;
}

void Require() {
  if (const auto& failure = PrivateNamespace()) throw std::runtime_error(*failure);
}

}  // namespace

std::optional<std::string> MountsUnavailable() {
  if (const auto& failure = PrivateNamespace()) {
    return "no private mount namespace here (" + *failure + ")";
  }
  return std::nullopt;
}

ScopedMount ScopedMount::Tmpfs(const fs::path& folder, std::size_t bytes) {
  Require();
  fs::create_directories(folder);
  const std::string options = "size=" + std::to_string(bytes);
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    throw std::runtime_error(Errno("mount tmpfs " + folder.string()));
  }
  return ScopedMount(folder);
}

ScopedMount ScopedMount::ReadOnly(const fs::path& folder) {
  Require();
  if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    throw std::runtime_error(Errno("mount --bind " + folder.string()));
  }
  ScopedMount bound(folder);
  // A bind mount takes its read-only flag only on a remount.
  if (mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    throw std::runtime_error(Errno("mount -o remount,ro,bind " + folder.string()));
  }
  return bound;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : target_(std::exchange(other.target_, fs::path())) {}

ScopedMount::~ScopedMount() {
  if (!target_.empty()) umount2(target_.c_str(), MNT_DETACH);
}

}  // namespace zlv::test
