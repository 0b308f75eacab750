#include <windows.h>

#include <cmath>

#include "platform/quit_signal.h"
#include "platform/win32_support.h"

namespace zlv {

// The quit message is a manual-reset event: set once, it stays set, and every wait sees it.
// The header keeps the event in read_fd_: kernel object handles have 32 significant bits on
// 64-bit Windows (the system guarantees it so that 32- and 64-bit processes can share them),
// so the handle is kept sign-extended in an int.
namespace {

std::atomic<QuitSignal*> g_console_target{nullptr};

HANDLE AsHandle(int stored) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(stored)); }

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (QuitSignal* target = g_console_target.load()) target->Post();
      return TRUE;
    default:
      // Log-off and shutdown: a service must not end when a user logs off; the service
      // manager's own stop request comes for a shutdown.
      return FALSE;
  }
}

}  // namespace

QuitSignal::QuitSignal() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) platform::win32::ThrowLastError("CreateEvent");
  read_fd_ = static_cast<int>(reinterpret_cast<intptr_t>(event));
}

QuitSignal::~QuitSignal() {
  QuitSignal* self = this;
  g_console_target.compare_exchange_strong(self, nullptr);
  CloseHandle(AsHandle(read_fd_));
}

void QuitSignal::Post() noexcept {
  posted_.store(true);
  SetEvent(AsHandle(read_fd_));
}

bool QuitSignal::WaitFor(double seconds) {
  if (posted_.load()) return true;
  const DWORD timeout_ms = seconds <= 0 ? 0 : static_cast<DWORD>(std::ceil(seconds * 1000.0));
  if (WaitForSingleObject(AsHandle(read_fd_), timeout_ms) == WAIT_FAILED) {
    platform::win32::ThrowLastError("WaitForSingleObject");
  }
  return posted_.load();
}

void QuitSignal::HandleTerminationSignals() {
  g_console_target.store(this);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace zlv
