#include "store_road.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "bizlib/cp1252.h"
#include "central/api_key.h"
#include "central/pg_connection.h"
#include "support/https_server.h"
#include "database/database.h"

namespace zlv::test {

namespace fs = std::filesystem;
using std::chrono::seconds;

namespace {

const fs::path kProgram = fs::path(ZLV_BIN_DIR) / "ZlvSinc";
const fs::path kCentral = fs::path(ZLV_BIN_DIR) / "zlvsinc-central";

// Far more than a start-up and one cycle take (well under a second here): a run that lasts
// this long hangs.
constexpr auto kRunLimit = seconds(60);

std::vector<std::string> Column(const fs::path& file, const std::string& sql) {
  const DataPacket rows = OpenDatabase("sqlite:" + file.string())->Query(sql, {});
  std::vector<std::string> column;
  for (const auto& row : rows.rows) column.push_back(row.at(0).AsText());
  return column;
}

std::string FirstCell(const fs::path& file, const std::string& sql) {
  const std::vector<std::string> column = Column(file, sql);
  return column.empty() ? std::string() : column.front();
}

std::string FileText(const fs::path& file) {
  try {
    return ReadFileBytes(file);
  } catch (const std::runtime_error&) {
    return {};
  }
}

// "500001..500003" from add-orders' report, as the numbers it stands for.
std::vector<std::string> NumberRange(const std::string& first, const std::string& last) {
  std::vector<std::string> numbers;
  for (long long n = std::stoll(first); n <= std::stoll(last); ++n) {
    numbers.push_back(std::to_string(n));
  }
  return numbers;
}

}  // namespace

StoreRoad::StoreRoad(std::string hub, Link link)
    : hub_(std::move(hub)), central_folder_(install_.home() / "central"), link_(link) {
  fs::create_directories(central_folder_);
  const fs::path out = central_folder_ / "serve.out";
  std::vector<std::string> serve = {"serve", "--port", "0", "--http-port", "0", "--db", hub_};
  if (link_ == Link::kHttps) {
    MakeTestCertificate(central_folder_, "hub", "/CN=127.0.0.1");
    certificate_ = central_folder_ / "hub.pem";
    serve.insert(serve.end(), {"--tls-cert", certificate_.string(), "--tls-key",
                               (central_folder_ / "hub.key").string()});
    TrustCaFile(certificate_);
  }
  central_ = std::make_unique<ChildProcess>(kCentral, serve, out, central_folder_ / "serve.err");
  const std::regex listening("(^|\\n)listening on (127\\.0\\.0\\.1:[0-9]+)");
  const std::regex api("(https?) listening on (127\\.0\\.0\\.1:[0-9]+)");
  std::string address;
  WaitUntil(
      [&] {
        std::smatch match, api_match;
        const std::string text = FileText(out);
        if (std::regex_search(text, match, listening) && std::regex_search(text, api_match, api)) {
          address = match[2];
          api_url_ = api_match[1].str() + "://" + api_match[2].str();
        }
        return !address.empty() || !central_->Running();
      },
      seconds(20));
  if (address.empty()) {
    throw std::runtime_error("zlvsinc-central did not start: " +
                             FileText(central_folder_ / "serve.err"));
  }
  central_address_ = link_ == Link::kHttps ? api_url_ : address;
  connection_string_ = "sqlite:" + install_.database().string();
  if (link_ == Link::kHttps) token_ = AddInstallation("001", "001");
  WriteRegistry();
}

void StoreRoad::WriteRegistry() {
  install_.SetRegistry("IpServer=" + central_address_ + "\nConnectionString=" +
                       connection_string_ + "\n" + (token_.empty() ? "" : "Token=" + token_ + "\n"));
}

std::string StoreRoad::AddInstallation(const std::string& cash_register,
                                       const std::string& store) {
  std::string token = RunCentralCommand({"add-installation", "--db", hub_, "--branch", "0001",
                                         "--register", cash_register, "--store", store});
  token.erase(token.find_last_not_of("\r\n") + 1);
  return token;
}

void StoreRoad::RevokeInstallation(const std::string& token, const std::string& cash_register) {
  RunCentralCommand({"revoke-installation", "--db", hub_, "--branch", "0001", "--register",
                     cash_register, "--token-id", ApiKeyHash(token).substr(0, 12)});
}

void StoreRoad::UseToken(std::string token) {
  token_ = std::move(token);
  WriteRegistry();
}

void StoreRoad::TrustCaFile(const fs::path& file) {
  ca_file_.reset();
  ca_file_.emplace("ZLVSINC_CA_FILE", file.string());
}

bool StoreRoad::UseOdbc() {
  const char* configured = std::getenv("ZLV_SQLITE_ODBC_DRIVER");
  const fs::path driver = configured != nullptr
                              ? fs::path(configured)
                              : fs::path("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so");
  if (!fs::exists(driver)) return false;
  connection_string_ =
      "Driver=" + driver.string() + ";Database=" + install_.database().string() + ";";
  WriteRegistry();
  return true;
}

StoreRoad::~StoreRoad() {
  central_->Signal(SIGTERM);
  central_->WaitExit(seconds(10));
}

std::string StoreRoad::RunCentralCommand(const std::vector<std::string>& args) {
  const fs::path out = central_folder_ / "command.out", err = central_folder_ / "command.err";
  ChildProcess command(kCentral, args, out, err);
  if (command.WaitExit(kRunLimit) != 0) {
    throw std::runtime_error("zlvsinc-central " + args.at(0) + " failed: " + FileText(err));
  }
  return FileText(out);
}

HubClient& StoreRoad::Channel() {
  if (channel_ == nullptr) {
    RunCentralCommand({"add-store", "--db", hub_, "--branch", "0001", "--store", "001", "--name",
                       "Centro", "--time-zone", "UTC"});
    RunCentralCommand({"set-branch", "--db", hub_, "--branch", "0001", "--client", "0001",
                       "--seller", "9999", "--operator", "0001", "--origin", "DLV_SIT",
                       "--receipt-cash", "001", "--receipt-card", "002"});
    std::string key =
        RunCentralCommand({"add-api-key", "--db", hub_, "--channel", "web", "--branch", "0001"});
    key.erase(key.find_last_not_of("\r\n") + 1);
    channel_ = std::make_unique<HubClient>(api_url_, key, std::chrono::seconds(30),
                                           certificate_.string());
  }
  return *channel_;
}

std::vector<std::string> StoreRoad::AddOrders(int count, int scheduled) {
  const std::string out = RunCentralCommand(
      {"add-orders", "--db", hub_, "--branch", "0001", "--store", "001", "--count",
       std::to_string(count), "--scheduled", std::to_string(scheduled), "--seed",
       std::to_string(100 + runs_), "--store-db", install_.database().string()});
  std::smatch match;
  if (!std::regex_search(out, match, std::regex(": ([0-9]+)\\.\\.([0-9]+)"))) {
    throw std::runtime_error("add-orders said: " + out);
  }
  return NumberRange(match[1], match[2]);
}

std::vector<std::string> StoreRoad::CancelOrders(int count) {
  const std::string out = RunCentralCommand(
      {"add-orders", "--db", hub_, "--branch", "0001", "--store", "001", "--count", "0", "--cancel",
       std::to_string(count), "--store-db", install_.database().string()});
  std::smatch match;
  if (!std::regex_search(out, match, std::regex("cancelled [0-9]+ orders((?: [0-9]+)*)"))) {
    throw std::runtime_error("add-orders --cancel said: " + out);
  }
  std::istringstream numbers(match[1].str());
  std::vector<std::string> cancelled;
  for (std::string number; numbers >> number;) cancelled.push_back(number);
  return cancelled;
}

std::string StoreRoad::Central(const std::string& sql) const {
  if (!hub_.starts_with("postgresql://") && !hub_.starts_with("postgres://")) {
    return FirstCell(hub_, sql);
  }
  PgConnection hub(hub_);
  const PgResult rows = hub.Exec(sql);
  return rows.rows() == 0 ? std::string() : rows.Text(0, 0);
}

void StoreRoad::RunOnce(int expected_status) {
  ++runs_;
  const fs::path out = install_.home() / ("run" + std::to_string(runs_) + ".out");
  const fs::path err = install_.home() / ("run" + std::to_string(runs_) + ".err");
  ChildProcess run(kProgram, {"0001_001_", "/ONCE"}, out, err);
  const std::optional<int> status = run.WaitExit(kRunLimit);
  if (status != expected_status) {
    throw std::runtime_error("ZlvSinc run " + std::to_string(runs_) + " ended with " +
                             (status ? std::to_string(*status) : std::string("no exit")) + ": " +
                             FileText(out) + FileText(err));
  }
}

std::string StoreRoad::Store(const std::string& sql) const {
  return FirstCell(install_.database(), sql);
}

std::vector<std::string> StoreRoad::StoreColumn(const std::string& sql) const {
  return Column(install_.database(), sql);
}

fs::path StoreRoad::TicketFolder() const { return install_.home() / "Dados" / "Imp" / "Files"; }

std::vector<std::string> StoreRoad::Tickets() const {
  std::vector<std::string> names;
  if (!fs::is_directory(TicketFolder())) return names;
  for (const auto& entry : fs::directory_iterator(TicketFolder())) {
    if (entry.path().extension() == ".txt") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string StoreRoad::Ticket(const std::string& name) const {
  return Cp1252ToUtf8(ReadFileBytes(TicketFolder() / name));
}

void StoreRoad::ClearTickets() const {
  for (const std::string& name : Tickets()) fs::remove(TicketFolder() / name);
}

std::string LocalSale(const StoreRoad& road, const std::string& central_sale) {
  return road.Store("SELECT NRVENDAREST FROM VENDAREST WHERE NRVENDARESTAUX = '" + central_sale +
                    "'");
}

}  // namespace zlv::test
