#include "support/postgres_server.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "support/child_process.h"

namespace zlv::test {

namespace {

// The socket is named after the port; alone in its folder, the usual port cannot clash.
constexpr int kPort = 5432;
constexpr const char* kSuperuser = "zlv";

// The newest installed version's programs.
std::filesystem::path FindBinaries() {
  const std::filesystem::path root = "/usr/lib/postgresql";
  std::filesystem::path best;
  int best_version = -1;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
    const std::filesystem::path bin = entry.path() / "bin";
    if (!std::filesystem::exists(bin / "initdb") || !std::filesystem::exists(bin / "pg_ctl")) {
      continue;
    }
    int version = 0;
    try {
      version = std::stoi(entry.path().filename().string());
    } catch (const std::exception&) {
    }
    if (version > best_version) {
      best_version = version;
      best = bin;
    }
  }
  if (best.empty()) {
    throw std::runtime_error("no PostgreSQL server under " + root.string() +
                             "/*/bin (scripts/install-deps installs the postgresql package)");
  }
  return best;
}

// The prefix that runs a server program as the unprivileged `postgres` user when we are root,
// after handing that user the folder.
std::vector<std::string> AsServerUser(const std::filesystem::path& folder) {
  if (geteuid() != 0) return {};
  const passwd* user = getpwnam("postgres");
  if (user == nullptr) {
    throw std::runtime_error(
        "PostgreSQL does not run as root and there is no postgres user to run it as");
  }
  if (chown(folder.c_str(), user->pw_uid, user->pw_gid) != 0) {
    throw std::system_error(errno, std::generic_category(), "chown " + folder.string());
  }
  return {"runuser", "-u", "postgres", "--"};
}

std::vector<std::string> Join(std::vector<std::string> prefix,
                              const std::vector<std::string>& args) {
  prefix.insert(prefix.end(), args.begin(), args.end());
  return prefix;
}

std::string PercentEncoded(const std::string& text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 0xF];
    }
  }
  return out;
}

}  // namespace

PostgresServer::PostgresServer() : folder_("zlv-pg"), bin_(FindBinaries()) {
  const std::filesystem::path& folder = folder_.path();
  const std::filesystem::path data = folder / "data", log = folder / "tools.log";
  RunChild(Join(AsServerUser(folder),
                {(bin_ / "initdb").string(), "--pgdata=" + data.string(),
                 "--username=" + std::string(kSuperuser), "--auth=trust", "--encoding=UTF8",
                 "--locale=C", "--no-sync", "--no-instructions"}),
           log, folder);
  {
    // Surviving the machine's crash is worth nothing in a cluster thrown away after the test
    // (no fsync), but a commit must survive the server's: Stop() kills it the way a crash
    // would, and a commit whose WAL the server had not yet written (synchronous_commit off)
    // would be gone after Start().
    std::ofstream conf(data / "postgresql.conf", std::ios::app);
    conf << "\nlisten_addresses = ''\n"
         << "unix_socket_directories = '" << folder.string() << "'\n"
         << "port = " << kPort << "\n"
         << "fsync = off\nfull_page_writes = off\n";
    if (!conf) throw std::runtime_error("cannot configure the cluster in " + data.string());
  }
  Start();
  try {
    uri_ = CreateDatabase("hub");
  } catch (...) {
    Stop();
    throw;
  }
}

void PostgresServer::Start() {
  const std::filesystem::path& folder = folder_.path();
  try {
    RunChild(
        Join(AsServerUser(folder),
             {(bin_ / "pg_ctl").string(), "start", "--pgdata=" + (folder / "data").string(),
              "--wait", "--timeout=60", "--silent", "--log=" + (folder / "server.log").string()}),
        folder / "tools.log", folder);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(e.what()) + LogText(folder / "server.log"));
  }
  running_ = true;
}

void PostgresServer::RequirePassword(const std::string& password) {
  std::string quoted;
  for (const char c : password) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  RunChild({(bin_ / "psql").string(), "--no-psqlrc", "--quiet", "--dbname=" + uri_,
            "--command=ALTER ROLE " + std::string(kSuperuser) + " PASSWORD '" + quoted + "'"},
           folder() / "tools.log", folder());
  {
    std::ofstream hba(folder() / "data" / "pg_hba.conf", std::ios::trunc);
    hba << "local all all scram-sha-256\n";
    if (!hba) throw std::runtime_error("cannot write pg_hba.conf in " + folder().string());
  }
  RunChild(Join(AsServerUser(folder()), {(bin_ / "pg_ctl").string(), "reload",
                                         "--pgdata=" + (folder() / "data").string(), "--silent"}),
           folder() / "tools.log", folder());
}

PostgresServer::~PostgresServer() { Stop(); }

std::string PostgresServer::CreateDatabase(const std::string& name) {
  RunChild({(bin_ / "createdb").string(), "--host=" + folder().string(),
            "--port=" + std::to_string(kPort), "--username=" + std::string(kSuperuser), name},
           folder() / "tools.log", folder());
  return UriOf(name);
}

std::string PostgresServer::UriOf(const std::string& database) const {
  return "postgresql:///" + PercentEncoded(database) +
         "?host=" + PercentEncoded(folder().string()) + "&port=" + std::to_string(kPort) +
         "&user=" + kSuperuser;
}

void PostgresServer::Stop() noexcept {
  if (!running_) return;
  running_ = false;
  const std::filesystem::path data = folder() / "data";
  try {
    const std::vector<std::string> as_server = AsServerUser(folder());
    RunChild(Join(as_server, {(bin_ / "pg_ctl").string(), "stop", "--pgdata=" + data.string(),
                              "--mode=immediate", "--wait", "--silent"}),
             folder() / "tools.log", folder());
  } catch (const std::exception&) {
    // The server would outlive its folder: end it by the process id it wrote at start.
    std::ifstream pid_file(data / "postmaster.pid");
    pid_t pid = 0;
    if (pid_file >> pid && pid > 0) kill(pid, SIGKILL);
  }
}

}  // namespace zlv::test
