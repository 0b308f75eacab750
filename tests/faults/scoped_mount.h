// Mounts for the file fault tests: a size-limited tmpfs (a full disk) and a read-only bind of a
// folder (a folder the program may not write, which permission bits cannot give a root test).
//
// The mounts are made in a private mount namespace of the calling thread, entered on first use,
// so the host never sees them and a crashed test leaves nothing mounted behind. Only the test's
// own thread sees them: the code under test must do its file work on that thread.
//
// Linux only; needs CAP_SYS_ADMIN (root in the build sandbox). Where that is missing,
// MountsUnavailable() says why and the tests skip.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zlv::test {

// Why mounts cannot be made here, or nullopt when they can.
std::optional<std::string> MountsUnavailable();

class ScopedMount {
 public:
  // A tmpfs of `bytes` bytes over the folder (created when missing).
  static ScopedMount Tmpfs(const std::filesystem::path& folder, std::size_t bytes);
  // The folder bound over itself, read-only.
  static ScopedMount ReadOnly(const std::filesystem::path& folder);

  ScopedMount(ScopedMount&& other) noexcept;
  ScopedMount& operator=(ScopedMount&&) = delete;
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;
  ~ScopedMount();

 private:
  explicit ScopedMount(std::filesystem::path target) : target_(std::move(target)) {}
  std::filesystem::path target_;
};

}  // namespace zlv::test
