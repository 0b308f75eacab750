#include <windows.h>

#include "platform/single_instance.h"
#include "platform/win32_support.h"

namespace zlv {

namespace {

// Creates the named mutex with initial ownership; handle is set only when it was acquired. It
// is never released: the system lets it go when the process ends, however it ends.
SingleInstanceLock::Outcome TakeMutex(const std::string& name, intptr_t& handle) {
  const std::wstring wide = platform::win32::Widen(name);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    // A mutex of another user that this one may not open also means another instance.
    return error == ERROR_ACCESS_DENIED ? SingleInstanceLock::Outcome::kAlreadyRunning
                                        : SingleInstanceLock::Outcome::kUnavailable;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return SingleInstanceLock::Outcome::kAlreadyRunning;
  }
  handle = reinterpret_cast<intptr_t>(mutex);
  return SingleInstanceLock::Outcome::kAcquired;
}

}  // namespace

// The session's mutex stays what it always was (whatever looks for a running desktop process
// finds it); the global one is what a service, in its own session, and a desktop process share.
SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  outcome_ = TakeMutex(name, handle_);
  if (outcome_ != Outcome::kAcquired) return;
  if (TakeMutex("Global\\" + name, machine_handle_) == Outcome::kAlreadyRunning) {
    Release();
    outcome_ = Outcome::kAlreadyRunning;
  }
}

void SingleInstanceLock::Release() noexcept {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  if (machine_handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(machine_handle_));
  handle_ = -1;
  machine_handle_ = -1;
}

}  // namespace zlv
