#include <windows.h>

#include "platform/single_instance.h"
#include "platform/win32_support.h"

namespace zlv {

// The named mutex, created with initial ownership. It is never released: the system lets it
// go when the process ends, however it ends. The name is in the session's namespace, so each
// logged-on session (and the services' session) has its own instance.
SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const std::wstring wide = platform::win32::Widen(name);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    // A mutex of another user that this one may not open also means another instance.
    outcome_ = error == ERROR_ACCESS_DENIED ? Outcome::kAlreadyRunning : Outcome::kUnavailable;
    return;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    outcome_ = Outcome::kAlreadyRunning;
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  outcome_ = Outcome::kAcquired;
}

void SingleInstanceLock::Release() noexcept {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

}  // namespace zlv
