// ScopedHandle: the one owner of a Win32 handle in the platform layer, closed by the closer of
// its kind when it goes out of scope. Included only by the *_win32.cc files.
//
// The closers are structs rather than the closing functions given as template arguments:
// MinGW declares those functions dllimport, and their addresses are not constant expressions.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace zlv::platform::win32 {

template <typename Handle, typename Closer>
using ScopedHandle = std::unique_ptr<std::remove_pointer_t<Handle>, Closer>;

struct KernelHandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
struct RegistryKeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};

// A process, token, mutex or file handle. A file that could not be opened is
// INVALID_HANDLE_VALUE, not null: check before taking it.
using KernelHandle = ScopedHandle<HANDLE, KernelHandleCloser>;
using ServiceHandle = ScopedHandle<SC_HANDLE, ServiceHandleCloser>;
using RegistryKey = ScopedHandle<HKEY, RegistryKeyCloser>;

}  // namespace zlv::platform::win32
