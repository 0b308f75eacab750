#include <windows.h>
// after <windows.h>, whose types it uses
#include <sddl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/quit_signal.h"
#include "platform/service.h"
#include "platform/service_account.h"
#include "platform/service_status.h"
#include "platform/win32_handle.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

using win32::ServiceHandle;

ServiceHandle OpenManager() {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    const DWORD error = GetLastError();
    const std::string what = "Gerenciador de serviços: " + win32::ErrorText(error);
    // Administrators too are refused outside an elevated prompt (User Account Control).
    if (error == ERROR_ACCESS_DENIED) throw ElevationRequired(what);
    throw std::runtime_error(what);
  }
  return manager;
}

// A SID as the system writes it ("S-1-5-18"); empty when it cannot be written.
std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  const std::string narrow = win32::Narrow(text);
  LocalFree(text);
  return narrow;
}

// The user of this process's token.
std::string ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const win32::KernelHandle token(raw);
  DWORD needed = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
  if (needed == 0) return {};
  std::vector<unsigned char> buffer(needed);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), needed, &needed)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<std::string> LookupAccountSid(const std::string& name) {
  const std::wstring wide = win32::Widen(name);
  DWORD sid_size = 0, domain_size = 0;
  SID_NAME_USE use;
  LookupAccountNameW(nullptr, wide.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) return std::nullopt;
  std::vector<unsigned char> sid(sid_size);
  std::wstring domain(domain_size + 1, L'\0');
  if (!LookupAccountNameW(nullptr, wide.c_str(), sid.data(), &sid_size, domain.data(), &domain_size,
                          &use)) {
    return std::nullopt;
  }
  std::string text = SidText(sid.data());
  if (text.empty()) return std::nullopt;
  return text;
}

// The one service of the process: the manager calls ServiceMain and the control handler with
// no context of ours, so what they need lives here.
struct RunningService {
  std::wstring name;
  bool allow_stop = true;
  bool allow_pause = false;
  int wait_hint_ms = 5000;
  int stop_wait_hint_ms = 30000;
  std::atomic<QuitSignal*> quit{nullptr};
  // Guards what follows, touched by the dispatcher, the manager's handler and the main thread.
  std::mutex mutex;
  std::condition_variable changed;
  SERVICE_STATUS_HANDLE status_handle = nullptr;
  SERVICE_STATUS status{};
  bool stopped = false;          // STOPPED was reported: nothing is reported after it
  bool dispatcher_done = false;  // the dispatcher returned (or never connected)
};

RunningService g_service;

void ReportStatusLocked(DWORD state, DWORD wait_hint_ms, int exit_status) {
  if (g_service.status_handle == nullptr || g_service.stopped) return;
  SERVICE_STATUS& status = g_service.status;
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = 0;
  if (state == SERVICE_RUNNING) {
    if (g_service.allow_stop)
      status.dwControlsAccepted |= SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    if (g_service.allow_pause) status.dwControlsAccepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
  }
  const ServiceExitCodes codes = ServiceExitCodesFor(state == SERVICE_STOPPED ? exit_status : 0);
  status.dwWin32ExitCode = codes.win32_exit_code;
  status.dwServiceSpecificExitCode = codes.service_specific_code;
  status.dwWaitHint = wait_hint_ms;
  status.dwCheckPoint = (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
                            ? status.dwCheckPoint + 1
                            : 0;
  if (state == SERVICE_STOPPED) g_service.stopped = true;
  SetServiceStatus(g_service.status_handle, &status);
}

void ReportStatus(DWORD state, DWORD wait_hint_ms = 0) {
  std::lock_guard lock(g_service.mutex);
  ReportStatusLocked(state, wait_hint_ms, 0);
}

// Stop (and the system's shutdown): post the quit message to the main loop and say the stop
// is under way; the main thread finishes the cycle in progress, leaves its loop, and the
// connection reports the service stopped as the process ends, with its exit status.
DWORD WINAPI ControlHandler(DWORD control, DWORD /*type*/, void* /*data*/, void* /*context*/) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      ReportStatus(SERVICE_STOP_PENDING, static_cast<DWORD>(g_service.stop_wait_hint_ms));
      if (QuitSignal* quit = g_service.quit.load()) quit->Post();
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
  std::lock_guard lock(g_service.mutex);
  g_service.status_handle = handle;
  ReportStatusLocked(SERVICE_START_PENDING, static_cast<DWORD>(g_service.wait_hint_ms), 0);
  ReportStatusLocked(SERVICE_RUNNING, 0, 0);
  g_service.changed.notify_all();
}

// The dispatcher runs on a thread of its own for the life of the process and only forwards
// control requests. When the process ends, whether on a stop request or on its own (start-up
// failed, the cash register is not set up), the service is reported stopped with the exit
// status, so that the manager neither waits for it nor takes a failure for a clean stop.
class DispatcherConnection : public ServiceConnection {
 public:
  DispatcherConnection() {
    dispatcher_ = std::thread([] {
      SERVICE_TABLE_ENTRYW table[] = {{g_service.name.data(), ServiceMain}, {nullptr, nullptr}};
      StartServiceCtrlDispatcherW(table);
      std::lock_guard lock(g_service.mutex);
      g_service.dispatcher_done = true;
      g_service.changed.notify_all();
    });
  }

  void SetExitStatus(int status) override { exit_status_ = status; }

  ~DispatcherConnection() override {
    g_service.quit.store(nullptr);
    std::unique_lock lock(g_service.mutex);
    // A process that ends at once (the cash register is not set up) may end before the
    // manager called ServiceMain; the stop is reported once it has. The dispatcher of a
    // process the manager did not start returns at once.
    g_service.changed.wait_for(lock, std::chrono::seconds(5), [] {
      return g_service.status_handle != nullptr || g_service.dispatcher_done;
    });
    ReportStatusLocked(SERVICE_STOPPED, 0, exit_status_);
    // The dispatcher returns once the service is stopped; a manager that is slow to answer
    // must not hold the process's end.
    g_service.changed.wait_for(lock, std::chrono::seconds(5),
                               [] { return g_service.dispatcher_done; });
    lock.unlock();
    dispatcher_.detach();
  }

 private:
  std::thread dispatcher_;
  int exit_status_ = 1;
};

// A manager that does not know a setting (ERROR_INVALID_LEVEL; wine's, or an older Windows)
// registers the service without it: the service runs the same, only with less help at boot
// and after a failure.
void ChangeConfig(SC_HANDLE service, DWORD level, void* info, const char* what) {
  if (!ChangeServiceConfig2W(service, level, info) && GetLastError() != ERROR_INVALID_LEVEL) {
    win32::ThrowLastError(what);
  }
}

// Delayed start and the recovery actions; a failing end counts as a failure for them, not
// only a crash, so that a stop reported with an error code restarts the service.
void ConfigureStartAndRecovery(SC_HANDLE service, const ServiceDefinition& definition) {
  if (definition.automatic_start && definition.delayed_start) {
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    ChangeConfig(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed,
                 "Início automático atrasado");
  }
  if (definition.restart_delays_ms.empty()) return;
  std::vector<SC_ACTION> actions;
  for (int delay : definition.restart_delays_ms) {
    actions.push_back({SC_ACTION_RESTART, static_cast<DWORD>(delay)});
  }
  actions.push_back({SC_ACTION_NONE, 0});
  SERVICE_FAILURE_ACTIONSW failure{};
  failure.dwResetPeriod = static_cast<DWORD>(definition.failure_reset_s);
  failure.cActions = static_cast<DWORD>(actions.size());
  failure.lpsaActions = actions.data();
  ChangeConfig(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure, "Ações de recuperação");
  SERVICE_FAILURE_ACTIONS_FLAG on_failing_stop{TRUE};
  ChangeConfig(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &on_failing_stop,
               "Ações de recuperação");
}

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
  try {
    ConfigureStartAndRecovery(created.get(), service);
  } catch (...) {
    // Half a registration would be taken for the whole one by the next INSTALL's refusal.
    DeleteService(created.get());
    throw;
  }
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
  // Only the right to read the configuration: a service registered under a plain user's
  // account must recognise itself too.
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  const std::wstring name = win32::Widen(service.name);
  const ServiceHandle handle(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!handle) return false;

  DWORD needed = 0;
  QueryServiceConfigW(handle.get(), nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(handle.get(), config, needed, &needed)) return false;
  const std::string account =
      config->lpServiceStartName != nullptr ? win32::Narrow(config->lpServiceStartName) : "";
  return ContaDoServico(account, ProcessUserSid(), LookupAccountSid);
}

std::unique_ptr<ServiceConnection> ConnectServiceManager(const ServiceDefinition& service,
                                                         QuitSignal& quit) {
  g_service.name = win32::Widen(service.name);
  g_service.allow_stop = service.allow_stop;
  g_service.allow_pause = service.allow_pause;
  g_service.wait_hint_ms = service.wait_hint_ms;
  g_service.stop_wait_hint_ms = service.stop_wait_hint_ms;
  g_service.quit.store(&quit);
  return std::make_unique<DispatcherConnection>();
}

}  // namespace zlv::platform
