// SingleInstanceLock: the named lock that keeps a second synchroniser from running on the
// machine, whether started as the service or by hand (Windows: the named mutex "<name>" of the
// session, as always, and "Global\\<name>" for the whole machine, both held by creating them
// with initial ownership; POSIX: an exclusive flock on "<name>.lock" in the machine's lock
// folder). The lock is held for the life of the object and is let go by the system when the
// process ends, however it ends.
//
// Lock folder on POSIX: $ZLVSINC_LOCK_DIR when set (tests); for root, /run/zlvsinc (made
// 0700; not used unless it is root's and writable by no one else, and then the lock is
// unavailable); for another account /run/lock when writable, else /tmp; never a user's
// runtime folder.
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
  intptr_t machine_handle_ = -1;  // Windows: the global mutex beside the session's
  Outcome outcome_ = Outcome::kUnavailable;
};

}  // namespace zlv
