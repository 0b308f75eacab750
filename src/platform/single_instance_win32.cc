#include <windows.h>
// after <windows.h>, whose types it uses
#include <sddl.h>

#include <algorithm>
#include <chrono>

#include "platform/single_instance.h"
#include "platform/win32_support.h"

namespace zlv {

namespace {

// How long a new process waits for the holder of the lock to go: the watchdog's restart
// starts the new process while the old one may still be ending.
constexpr DWORD kWaitForHolderMs = 15000;

// Who may open the mutex: the system account and administrators fully; every signed-in user
// may wait for it and take it. The service runs in session 0 as SYSTEM and a desktop copy in
// a user's session: whichever makes the mutex, the other must be able to open it, or it could
// neither see that the first one runs nor take over when it ends.
constexpr const wchar_t* kMutexAccess = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)";

class MutexSecurity {
 public:
  MutexSecurity() {
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexAccess, SDDL_REVISION_1,
                                                             &descriptor_, nullptr)) {
      attributes_.lpSecurityDescriptor = descriptor_;
    }
  }
  ~MutexSecurity() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }
  MutexSecurity(const MutexSecurity&) = delete;
  MutexSecurity& operator=(const MutexSecurity&) = delete;

  // Null (the default of the creator) when the descriptor could not be made.
  SECURITY_ATTRIBUTES* get() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Takes the named mutex: creates it owned, or waits until deadline for its holder to let it
// go. An abandoned mutex is taken too: its owner ended without letting go, so it is gone.
// handle is set only when the mutex is held; it is held until the lock is destroyed, and the
// system lets it go if the process ends first, however it ends.
SingleInstanceLock::Outcome TakeMutex(const std::string& name,
                                      std::chrono::steady_clock::time_point deadline,
                                      intptr_t& handle) {
  const std::wstring wide = platform::win32::Widen(name);
  MutexSecurity security;
  HANDLE mutex = CreateMutexW(security.get(), TRUE, wide.c_str());
  DWORD error = GetLastError();
  if (mutex == nullptr && error == ERROR_ACCESS_DENIED) {
    // Made by a copy that gave no access to others: only waiting is asked for.
    mutex = OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str());
    error = mutex == nullptr ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS;
  }
  if (mutex == nullptr) {
    // A mutex of another user that this one may not open also means another instance.
    return error == ERROR_ACCESS_DENIED ? SingleInstanceLock::Outcome::kAlreadyRunning
                                        : SingleInstanceLock::Outcome::kUnavailable;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const DWORD wait =
        WaitForSingleObject(mutex, static_cast<DWORD>(std::max<long long>(0, left.count())));
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return SingleInstanceLock::Outcome::kAlreadyRunning;
    }
  }
  handle = reinterpret_cast<intptr_t>(mutex);
  return SingleInstanceLock::Outcome::kAcquired;
}

}  // namespace

// The machine's mutex ("Global\<name>") is what a service, in its own session, and a desktop
// process share; the session's mutex ("<name>") stays what it always was, so that whatever
// looks for a running desktop process finds it. Both are taken within the same wait.
SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitForHolderMs);
  outcome_ = TakeMutex("Global\\" + name, deadline, machine_handle_);
  if (outcome_ != Outcome::kAcquired) return;
  if (TakeMutex(name, deadline, handle_) == Outcome::kAlreadyRunning) {
    Release();
    outcome_ = Outcome::kAlreadyRunning;
  }
}

// Let go before closing: a process waiting for the mutex holds a handle to it, and a mutex
// closed while owned stays owned until this thread ends.
void SingleInstanceLock::Release() noexcept {
  for (intptr_t held : {handle_, machine_handle_}) {
    if (held == -1) continue;
    ReleaseMutex(reinterpret_cast<HANDLE>(held));
    CloseHandle(reinterpret_cast<HANDLE>(held));
  }
  handle_ = -1;
  machine_handle_ = -1;
}

}  // namespace zlv
