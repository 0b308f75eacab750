#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/quit_signal.h"
#include "platform/service.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

ServiceHandle OpenManager() {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) win32::ThrowLastError("Gerenciador de serviços");
  return manager;
}

// "LocalSystem" is how the manager names the system account; the account's own name, as the
// running process sees it, is "SYSTEM".
std::wstring AccountUserName(std::wstring account) {
  if (CompareStringOrdinal(account.c_str(), -1, L"LocalSystem", -1, TRUE) == CSTR_EQUAL) {
    return L"SYSTEM";
  }
  return account;
}

// The one service of the process: the manager calls ServiceMain and the control handler with
// no context of ours, so what they need lives here.
struct RunningService {
  std::wstring name;
  bool allow_stop = true;
  bool allow_pause = false;
  int wait_hint_ms = 5000;
  std::atomic<QuitSignal*> quit{nullptr};
  std::mutex mutex;  // status_handle and status, touched by the dispatcher and the main thread
  SERVICE_STATUS_HANDLE status_handle = nullptr;
  SERVICE_STATUS status{};
};

RunningService g_service;

void ReportStatus(DWORD state, DWORD wait_hint_ms = 0) {
  std::lock_guard lock(g_service.mutex);
  if (g_service.status_handle == nullptr) return;
  SERVICE_STATUS& status = g_service.status;
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = 0;
  if (state == SERVICE_RUNNING) {
    if (g_service.allow_stop)
      status.dwControlsAccepted |= SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    if (g_service.allow_pause) status.dwControlsAccepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
  }
  status.dwWin32ExitCode = NO_ERROR;
  status.dwWaitHint = wait_hint_ms;
  status.dwCheckPoint = (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
                            ? status.dwCheckPoint + 1
                            : 0;
  SetServiceStatus(g_service.status_handle, &status);
}

// Stop (and the system's shutdown): post the quit message to the main loop and report the
// service stopped; the main thread then leaves its loop and the process ends.
DWORD WINAPI ControlHandler(DWORD control, DWORD /*type*/, void* /*data*/, void* /*context*/) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      if (QuitSignal* quit = g_service.quit.load()) quit->Post();
      ReportStatus(SERVICE_STOPPED);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The start handler: the synchronisation is started by the main thread, so the service only
// says it has started.
void WINAPI ServiceMain(DWORD /*argc*/, wchar_t** /*argv*/) {
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(g_service.name.c_str(), ControlHandler, nullptr);
  if (handle == nullptr) return;
  {
    std::lock_guard lock(g_service.mutex);
    g_service.status_handle = handle;
  }
  ReportStatus(SERVICE_START_PENDING, static_cast<DWORD>(g_service.wait_hint_ms));
  ReportStatus(SERVICE_RUNNING);
}

// The dispatcher runs on a thread of its own for the life of the process and only forwards
// control requests. When the process ends on its own (start-up failed, the cash register is
// not set up), the service is reported stopped so that the manager does not wait for it.
class DispatcherConnection : public ServiceConnection {
 public:
  DispatcherConnection() {
    dispatcher_ = std::thread([] {
      SERVICE_TABLE_ENTRYW table[] = {{g_service.name.data(), ServiceMain}, {nullptr, nullptr}};
      StartServiceCtrlDispatcherW(table);
    });
  }

  ~DispatcherConnection() override {
    g_service.quit.store(nullptr);
    ReportStatus(SERVICE_STOPPED);
    // The dispatcher returns once the service is stopped, or at once when the manager never
    // connected; a manager that is slow to answer must not hold the process's end.
    dispatcher_.detach();
  }

 private:
  std::thread dispatcher_;
};

}  // namespace

void InstallService(const ServiceDefinition& service, const std::filesystem::path& program) {
  const ServiceHandle manager = OpenManager();
  const std::wstring name = win32::Widen(service.name);
  const std::wstring display = win32::Widen(service.display_name);
  // Quoted: the installation folder may hold blanks ("C:\Program Files\...").
  const std::wstring command = L"\"" + program.wstring() + L"\"";
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  // An interactive service must run under the system account; no account and no password
  // means LocalSystem.
  if (service.local_system) type |= SERVICE_INTERACTIVE_PROCESS;
  const ServiceHandle created(CreateServiceW(
      manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, type,
      service.automatic_start ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
      command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!created) win32::ThrowLastError("CreateService");
}

void UninstallService(const ServiceDefinition& service) {
  const ServiceHandle manager = OpenManager();
  const std::wstring name = win32::Widen(service.name);
  const ServiceHandle handle(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!handle) win32::ThrowLastError("OpenService");
  if (!DeleteService(handle.get())) win32::ThrowLastError("DeleteService");
}

bool StartedByServiceManager() { return true; }

bool ServiceAccountIsCurrentUser(const ServiceDefinition& service) {
  // A user who is not an administrator cannot open the manager with all access: desktop mode.
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return false;
  const std::wstring name = win32::Widen(service.name);
  const ServiceHandle handle(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!handle) return false;

  DWORD needed = 0;
  QueryServiceConfigW(handle.get(), nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(handle.get(), config, needed, &needed)) return false;
  const std::wstring account =
      AccountUserName(config->lpServiceStartName != nullptr ? config->lpServiceStartName : L"");

  wchar_t user[256] = {};
  DWORD size = 256;
  if (!GetUserNameW(user, &size)) return false;
  return CompareStringOrdinal(account.c_str(), -1, user, -1, TRUE) == CSTR_EQUAL;
}

std::unique_ptr<ServiceConnection> ConnectServiceManager(const ServiceDefinition& service,
                                                         QuitSignal& quit) {
  g_service.name = win32::Widen(service.name);
  g_service.allow_stop = service.allow_stop;
  g_service.allow_pause = service.allow_pause;
  g_service.wait_hint_ms = service.wait_hint_ms;
  g_service.quit.store(&quit);
  return std::make_unique<DispatcherConnection>();
}

}  // namespace zlv::platform
