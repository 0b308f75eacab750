// SingleInstanceLock: the named lock that keeps a second synchroniser from running on the
// machine, whether started as the service or by hand (Windows: the named mutex
// "Global\\<name>" of the whole machine, which the service in its own session and a desktop
// process in a user's share, made so that every signed-in user may open it, and the session's
// mutex "<name>" beside it; POSIX: an exclusive flock on "<name>.lock" in the machine's lock
// folder). The lock is held for the life of the object and is let go by the system when the
// process ends, however it ends.
//
// Windows waits up to 15 s for a holder that is ending, as the old process of a watchdog
// restart may still be when the new one starts; an abandoned mutex is taken, its owner being
// gone. POSIX does not wait: its restart starts the new process once the old one is gone.
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
