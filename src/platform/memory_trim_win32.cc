#include <windows.h>

#include <memory>

#include "platform/memory_trim.h"
#include "platform/win32_handle.h"
#include "platform/win32_support.h"

namespace zlv::platform {

// Minimum and maximum both (SIZE_T)-1: the system's request to take as many pages as it can
// out of the working set. The pages stay the process's; they are read back when touched.
void TrimWorkingSet() {
  const win32::KernelHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId()));
  if (!process) win32::ThrowLastError("OpenProcess");
  if (!SetProcessWorkingSetSize(process.get(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1))) {
    win32::ThrowLastError("SetProcessWorkingSetSize");
  }
}

// The process heap gives freed blocks back on its own terms; nothing to set.
void KeepFreedMemoryUntilTrim() {}

}  // namespace zlv::platform
