#include <windows.h>

#include <string>

#include "platform/health_probe.h"
#include "platform/win32_support.h"

namespace zlv::platform {

std::string BootId() { return {}; }

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

// The machine's mutex exists while some process has it open: opening it, without waiting for
// it, finds a holder and takes nothing from it.
InstanceState ProbeSingleInstance(const std::string& name) {
  const std::wstring wide = win32::Widen("Global\\" + name);
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str());
  if (mutex != nullptr) {
    CloseHandle(mutex);
    return InstanceState::kRunning;
  }
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
      return InstanceState::kNotRunning;
    case ERROR_ACCESS_DENIED:
      return InstanceState::kRunning;  // there, made by a holder that lets nobody in
    default:
      return InstanceState::kUnknown;
  }
}

std::string ServiceState(const std::string& service_name) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return {};
  SC_HANDLE service =
      OpenServiceW(manager, win32::Widen(service_name).c_str(), SERVICE_QUERY_STATUS);
  std::string state;
  if (service == nullptr) {
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) state = "não instalado";
  } else {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service, &status)) {
      switch (status.dwCurrentState) {
        case SERVICE_RUNNING:
          state = "RUNNING";
          break;
        case SERVICE_STOPPED:
          state = "STOPPED";
          break;
        case SERVICE_START_PENDING:
          state = "START_PENDING";
          break;
        case SERVICE_STOP_PENDING:
          state = "STOP_PENDING";
          break;
        default:
          state = "estado " + std::to_string(status.dwCurrentState);
      }
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return state;
}

// A program without a console of its own writes to the file or pipe its output was
// redirected to, or else to the console of the prompt that started it: in UTF-16, which the
// console shows in its own code page, or, redirected, in the console's code page as cmd's own
// output is.
void WriteToStarter(std::string_view utf8_text) {
  const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const bool redirected = out != nullptr && out != INVALID_HANDLE_VALUE &&
                          GetFileType(out) != FILE_TYPE_CHAR &&
                          GetFileType(out) != FILE_TYPE_UNKNOWN;
  std::wstring wide = win32::Widen(utf8_text);
  if (redirected) {
    const UINT code_page = attached ? GetConsoleOutputCP() : GetOEMCP();
    const int size = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return;
  }
  if (!attached) return;  // started from no console and not redirected: nobody to tell
  HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  // An interactive prompt does not wait for a program without a console and has shown its
  // next line already: start below it. The console wants CR LF.
  std::wstring lines = L"\r\n";
  for (const wchar_t ch : wide) {
    if (ch == L'\n') lines += L'\r';
    lines += ch;
  }
  wide = std::move(lines);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  CloseHandle(console);
}

}  // namespace zlv::platform
