#include <windows.h>

#include <iostream>

#include "platform/technician_message.h"
#include "platform/win32_support.h"

namespace zlv::platform {

void TellTechnician(const std::string& text, bool failure) {
  (failure ? std::cerr : std::cout) << text << std::endl;
  // Topmost and in front: started from Explorer or a prompt, the program has no window of its
  // own that the box could hide behind.
  const UINT style =
      MB_OK | MB_SETFOREGROUND | MB_TOPMOST | (failure ? MB_ICONERROR : MB_ICONINFORMATION);
  MessageBoxW(nullptr, win32::Widen(text).c_str(), L"ZlvSinc", style);
}

}  // namespace zlv::platform
