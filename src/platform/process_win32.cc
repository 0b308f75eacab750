#include <windows.h>
// after <windows.h>, whose types it uses
#include <shellapi.h>

#include "platform/cmd_parameters.h"
#include "platform/process.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

// cmd.exe through the shell, hidden: no window and no working folder of its own (the restart
// text says where to start the program). The outcome is not looked at; a restart that did not
// happen is seen by the watchdog three minutes later.
// The command processor is the system's own (System32): looked up by name, a cmd.exe in the
// working folder or along the path would run in its place, as SYSTEM under the service.
void RunHiddenCommand(std::string_view parameters) {
  wchar_t system_folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system_folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring cmd = std::wstring(system_folder, length) + L"\\cmd.exe";
  const std::wstring wide = win32::Widen(parameters);
  ShellExecuteW(nullptr, nullptr, cmd.c_str(), wide.c_str(), nullptr, SW_HIDE);
}

// The parameter texts are fixed (cmd_parameters.h): the restart always ends and starts
// ZlvSinc.exe, the name the stores' support habits and scripts rely on.
class Win32CommandRunner : public CommandRunner {
 public:
  void RestartProgram(const RestartRequest& request) override {
    // The folder is written without a trailing separator; the text adds the backslash.
    std::string folder = request.folder.string();
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const unsigned long pid = request.pid != 0 ? static_cast<unsigned long>(request.pid)
                                               : static_cast<unsigned long>(GetCurrentProcessId());
    RunHiddenCommand(Win32RestartParameters(folder, request.cdfilial, request.cdcaixa, pid));
  }

  void FlushDns() override { RunHiddenCommand(kWin32FlushDnsParameters); }
};

}  // namespace

std::string ProgramImageName() { return "ZlvSinc.exe"; }

// The restart's command text is the same in both modes: the stores' support habits rely on it.
std::unique_ptr<CommandRunner> MakeCommandRunner(std::string /*image_name*/,
                                                 RestartStyle /*style*/) {
  return std::make_unique<Win32CommandRunner>();
}

}  // namespace zlv::platform
