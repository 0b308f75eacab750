#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/service.h"
#include "platform/system_error_text.h"

namespace zlv::platform {

namespace {

constexpr const char* kDefaultUnitFolder = "/etc/systemd/system";
constexpr const char* kWantedBy = "multi-user.target";
// Variables that point the program at its installation; a unit installed while they are set
// (a demo, a store with a non-default layout) keeps them for the service.
constexpr const char* kInheritedVariables[] = {"ZLVSINC_HOME", "ZLVSINC_REGISTRY",
                                               "ZLVSINC_CA_FILE"};

struct UnitFolder {
  std::filesystem::path path;
  bool redirected = false;
};

UnitFolder UnitFolderInUse() {
  if (const char* dir = std::getenv("ZLVSINC_UNIT_DIR"); dir != nullptr && *dir != '\0') {
    return {dir, true};
  }
  return {kDefaultUnitFolder, false};
}

std::filesystem::path UnitFile(const std::filesystem::path& folder, const ServiceDefinition& s) {
  return folder / (s.name + ".service");
}

std::filesystem::path WantsLink(const std::filesystem::path& folder, const ServiceDefinition& s) {
  return folder / (std::string(kWantedBy) + ".wants") / (s.name + ".service");
}

// How systemd reads a unit file's values: every value is searched for "%" specifiers, and a
// line that ends in a backslash goes on in the next one. Settings that take words (ExecStart,
// Environment) read double quotes and C escapes; path settings such as WorkingDirectory take
// the rest of the line as it stands, trimmed. "$" is special only in a command's arguments,
// which the unit does not give: the program's own path is taken literally.
void CheckUnitValue(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      throw std::runtime_error("caractere de controle em \"" + text + "\"");
    }
  }
}

std::string UnitSpecifiersEscaped(const std::string& text) {
  CheckUnitValue(text);
  std::string escaped;
  for (char c : text) {
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

// A whole line's value: it must survive the trimming and must not continue the line.
std::string UnitLineValue(const std::string& text) {
  if (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
                        text.back() == '\t' || text.back() == '\\')) {
    throw std::runtime_error("systemd não lê \"" + text + "\" como está");
  }
  return UnitSpecifiersEscaped(text);
}

// A double-quoted word: C escapes inside the quotes, UTF-8 letters as they are.
std::string UnitQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : UnitSpecifiersEscaped(text)) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string UnitText(const ServiceDefinition& s, const std::filesystem::path& program) {
  // systemd refuses a program whose path holds quotes or backslashes, however escaped.
  if (program.string().find_first_of("\"'\\") != std::string::npos) {
    throw std::runtime_error(
        "o systemd não aceita aspas nem barra invertida no caminho do programa: " +
        program.string());
  }
  std::ostringstream unit;
  // The program's folder is checked first: the comment line below names the program too.
  const std::string folder = UnitLineValue(program.parent_path().string());
  unit << "# Written by \"" << program.filename().string()
       << " /INSTALL\", removed by /UNINSTALL.\n"
       << "[Unit]\n"
       << "Description=" << UnitLineValue(s.display_name) << "\n"
       << "After=network-online.target\n"
       << "Wants=network-online.target\n\n"
       << "[Service]\n"
       << "Type=simple\n"
       << "ExecStart=" << UnitQuoted(program.string()) << "\n"
       << "WorkingDirectory=" << folder
       << "\n"
       // The log and the tickets hold customers' names, phones and addresses.
       << "UMask=0077\n";
  for (const char* name : kInheritedVariables) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
      unit << "Environment=" << UnitQuoted(std::string(name) + "=" + value) << "\n";
    }
  }
  // The watchdog asks for a restart by ending the process with a failure status (75); a
  // cash register that is not set up (78) stays down until the technician sees to it.
  // Nothing is started outside the service, so stopping it ends its whole control group.
  unit << "Restart=on-failure\n"
       << "RestartSec=5\n"
       << "RestartPreventExitStatus=78\n"
       << "TimeoutStartSec=" << (s.wait_hint_ms + 999) / 1000 << "\n";
  if (s.automatic_start) unit << "\n[Install]\nWantedBy=" << kWantedBy << "\n";
  return unit.str();
}

// Best effort: a unit folder that systemd reads is reloaded so the change is seen at once.
void ReloadSystemd() {
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    execlp("systemctl", "systemctl", "daemon-reload", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The User= of the unit's [Service] section (the last one wins, as in systemd); "root" when
// absent.
std::string UnitUser(std::istream& unit) {
  std::string user = "root", line, section;
  while (std::getline(unit, line)) {
    line = Trimmed(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line;
      continue;
    }
    const auto eq = line.find('=');
    if (section == "[Service]" && eq != std::string::npos &&
        Trimmed(line.substr(0, eq)) == "User") {
      user = Trimmed(line.substr(eq + 1));
      if (user.empty()) user = "root";  // "User=" resets to the default
    }
  }
  return user;
}

}  // namespace

void InstallService(const ServiceDefinition& service, const std::filesystem::path& program) {
  const UnitFolder folder = UnitFolderInUse();
  const std::filesystem::path file = UnitFile(folder.path, service);
  const std::string text = UnitText(service, program);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    ThrowPosixError("não foi possível gravar " + file.string(), errno);
  }
  if (service.automatic_start) {
    // What "systemctl enable" does, done here so that it works without a running systemd.
    const std::filesystem::path link = WantsLink(folder.path, service);
    std::error_code ec;
    std::filesystem::create_directories(link.parent_path(), ec);
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(std::filesystem::path("..") / file.filename(), link, ec);
    if (ec)
      throw std::runtime_error("não foi possível criar " + link.string() + ": " +
                               SystemErrorText(ec));
  }
  if (!folder.redirected) ReloadSystemd();
}

void UninstallService(const ServiceDefinition& service) {
  const UnitFolder folder = UnitFolderInUse();
  const std::filesystem::path file = UnitFile(folder.path, service);
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
    throw std::runtime_error("o serviço " + service.name + " não está instalado (" + file.string() +
                             ")");
  }
  std::filesystem::remove(WantsLink(folder.path, service), ec);
  if (!std::filesystem::remove(file, ec) || ec) {
    throw std::runtime_error("não foi possível remover " + file.string() + ": " +
                             SystemErrorText(ec));
  }
  if (!folder.redirected) ReloadSystemd();
}

bool ServiceAccountIsCurrentUser(const ServiceDefinition& service) {
  std::ifstream unit(UnitFile(UnitFolderInUse().path, service));
  if (!unit) return false;
  const std::string user = UnitUser(unit);
  const uid_t uid = geteuid();
  if (user.find_first_not_of("0123456789") == std::string::npos) {
    return std::strtoul(user.c_str(), nullptr, 10) == uid;
  }
  const passwd* entry = getpwuid(uid);
  return entry != nullptr && user == entry->pw_name;
}

bool StartedByServiceManager() {
  const char* invocation = std::getenv("INVOCATION_ID");
  return invocation != nullptr && *invocation != '\0';
}

std::unique_ptr<ServiceConnection> ConnectServiceManager(const ServiceDefinition&, QuitSignal&) {
  return std::make_unique<ServiceConnection>();
}

}  // namespace zlv::platform
