// SingleInstanceLock: the named lock that keeps a second desktop instance from running
// (Windows: the named mutex "ZLVSINC", held by creating it with initial ownership; POSIX: an
// exclusive flock on "<name>.lock" in the runtime folder). The lock is held for the life of
// the object and is let go by the system when the process ends, however it ends.
//
// Runtime folder on POSIX: $ZLVSINC_LOCK_DIR when set (tests), else $XDG_RUNTIME_DIR, else
// /run/lock, else /tmp.
//
// Owns the lock handle; movable. Main thread.
#pragma once

#include <cstdint>
#include <string>

namespace zlv {

class SingleInstanceLock {
 public:
  enum class Outcome {
    kAcquired,        // this process is the one instance
    kAlreadyRunning,  // another process holds the lock
    kUnavailable,     // the lock could not be made at all; the process runs unguarded
  };

  explicit SingleInstanceLock(const std::string& name);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  SingleInstanceLock(SingleInstanceLock&& other) noexcept;
  SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;

  Outcome outcome() const { return outcome_; }

 private:
  void Release() noexcept;

  intptr_t handle_ = -1;
  Outcome outcome_ = Outcome::kUnavailable;
};

}  // namespace zlv
