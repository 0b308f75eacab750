#include "sync_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "bizlib/cp1252.h"
#include "bizlib/https.h"
#include "central/api_key.h"
#include "central/master_data.h"
#include "central/order_generator.h"
#include "central/store_schema.h"
#include "database/connection_settings.h"
#include "support/https_server.h"

namespace zlv::test {

namespace {

std::unique_ptr<FaultyDatabase> CreateStore(const std::filesystem::path& folder) {
  const std::filesystem::path source = ZLV_SOURCE_DIR;
  std::unique_ptr<Database> db = OpenDatabase("sqlite:" + (folder / "store.db").string());
  db->Execute(ReadFileBytes(source / "db" / "schema.sqlite.sql"), {}, 0);
  db->Execute(ReadFileBytes(source / "db" / "demo-seed.sql"), {}, 0);
  SetADODBSession(*db);
  return std::make_unique<FaultyDatabase>(std::move(db));
}

// A loopback port nothing listens on: bound once by the system's choice, then released.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// "dd/mm/yyyy hh:mm:ss - " precedes every logged message.
constexpr size_t kStampLength = 22;

}  // namespace

SyncInstallation::SyncInstallation(Options options)
    : clock_(SystemClock().Now()),
      db_(CreateStore(dir_.path())),
      store_(std::make_unique<StoreConnection>([this] { return db_->NewLink(); })),
      log_(std::make_unique<ActivityLog>(dir_.path(), clock_)),
      services_(std::make_unique<Services>(
          Services{*store_, *log_, clock_, globals_, dir_.path(), RegionalSettings::Default()})),
      server_store_(std::make_unique<SqliteHubStore>((dir_.path() / "central.db").string())),
      server_(std::make_unique<CentralServer>(*server_store_, server_clock_, "127.0.0.1", 0)),
      client_(*log_, [this] { return endpoint_; }) {
  std::string token;
  int https_port = 0;
  const std::string cert = (dir_.path() / "hub.pem").string(),
                    key = (dir_.path() / "hub.key").string();
  if (options.https) {
    MakeTestCertificate(dir_.path(), "hub", "/CN=127.0.0.1");
    https_port = server_->ServeHttp(
        "127.0.0.1", 0,
        [](const HttpRequest& request) {
          return ProblemResponse({404, "not-found", "Not found", request.target, {}},
                                 request.request_id);
        },
        {}, TlsFiles{cert, key});
    token = NewInstallationToken();
    server_store_->AddInstallationToken({ApiKeyHash(token), kFilial, kCaixa, kLoja, false});
    SetHttpsExtraCaFile(cert);
  }
  server_thread_ = std::thread([this] { server_->Run(); });
  central_ = std::make_unique<SqliteHubStore>((dir_.path() / "central.db").string());
  if (options.through_proxy) {
    proxy_ = options.https
                 ? std::make_unique<DroppingProxy>(DroppingProxy::Https{
                       "https://127.0.0.1:" + std::to_string(https_port), cert, key, cert})
                 : std::make_unique<DroppingProxy>(server_->port());
  }
  reachable_port_ = proxy_ ? proxy_->port() : options.https ? https_port : server_->port();
  endpoint_ = TcpEndpoint("127.0.0.1", reachable_port_);
  if (options.https) {
    reachable_url_ = "https://127.0.0.1:" + std::to_string(reachable_port_) + "/rpc";
    endpoint_.url = reachable_url_;
    endpoint_.token = token;
  }

  store_->Connect();
  std::filesystem::create_directories(TicketFolder());
  globals_.gCDFILIAL = kFilial;
  globals_.gCDCAIXA = kCaixa;
  globals_.gCDLOJA = kLoja;
  globals_.gIDUTILINTROT = "N";
  globals_.gLiberaReinicio = true;
  timer_.SetEnabled(true);
  cycle_ = std::make_unique<SyncCycle>(*services_, *store_, client_, timer_, [this] {
    ++trim_calls_;
    timer_on_during_run_ = timer_.Enabled();
  });
}

SyncInstallation::~SyncInstallation() {
  cycle_.reset();
  client_.Disconnect();
  proxy_.reset();
  server_->Stop();
  server_thread_.join();
  SetHttpsExtraCaFile("");
}

void SyncInstallation::MakeServerUnreachable(bool unreachable) {
  endpoint_.port = unreachable ? ClosedPort() : reachable_port_;
  if (!reachable_url_.empty()) {
    endpoint_.url = "https://127.0.0.1:" + std::to_string(endpoint_.port) + "/rpc";
  }
}

int64_t SyncInstallation::Count(const std::string& sql) {
  return db_->real().Query(sql, {}).rows.at(0).at(0).AsInteger();
}

std::string SyncInstallation::Value(const std::string& sql) {
  const DataPacket rows = db_->real().Query(sql, {});
  return rows.rows.empty() ? std::string() : rows.rows[0].at(0).AsText();
}

void SyncInstallation::InsertPendingSales(int count, int first) {
  const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(first) +
                              " UNION ALL SELECT i + 1 FROM n WHERE i < " +
                              std::to_string(first + count - 1) + ") ";
  Sql(numbers +
      "INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDLOJA, DTHRABERMESA) "
      "SELECT '0001', CAST(i AS TEXT), '001', datetime('now', 'localtime') FROM n");
  Sql(numbers +
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, CDLOJA) "
      "SELECT '0001', CAST(i AS TEXT), CAST(2000 + i AS TEXT), 'DLV_' || (2000 + i), 'A', '001' "
      "FROM n");
}

void SyncInstallation::InsertHistoryRow(int sale, int sequence) {
  db_->real().Execute(
      "INSERT INTO HISTPEDCONS (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED, "
      "IDSTCOMANDA, IDIMPHISTPED) VALUES ('0001', '001', ?, ?, ?, 'A', 'N')",
      {Variant(std::to_string(sale)), Variant(std::to_string(sale + 2000)),
       Variant(std::to_string(sequence))});
}

std::string SyncInstallation::LocalSale(const std::string& central_sale) {
  return Value("SELECT NRVENDAREST FROM VENDAREST WHERE NRVENDARESTAUX = '" + central_sale + "'");
}

std::filesystem::path SyncInstallation::TicketFolder() const {
  return dir_.path() / "Dados" / "Imp" / "Files";
}

std::vector<std::string> SyncInstallation::AddOrders(int count, int scheduled,
                                                     const std::string& store) {
  const StoreSchema schema = StoreSchema::FromDatabase(db_->real());
  const MasterData master = LoadMasterData(db_->real(), kFilial, store);
  const DateTime now = server_clock_.Now();
  HubTransaction transaction(*central_);
  OrderGenerator generator(
      master, schema, kFilial, store, seed_++,
      [this](const std::string& counter) { return central_->NextNumber(counter); },
      central_->Consumers());
  std::vector<std::string> sales;
  for (int i = 0; i < count; ++i) {
    const GeneratedOrder order = generator.Next(now, i >= count - scheduled);
    central_->AddOrder(order, now);
    sales.push_back(order.sale);
  }
  central_->SaveConsumers(generator.consumers());
  transaction.Commit();
  return sales;
}

StoreCounts SyncInstallation::CentralCounts(const std::string& store) {
  for (const StoreCounts& counts : central_->Status()) {
    if (counts.branch == kFilial && counts.store == store) return counts;
  }
  return StoreCounts{kFilial, store};
}

std::vector<std::string> SyncInstallation::LogLines() const {
  std::vector<std::string> lines;
  const std::filesystem::path file = log_->FileFor(clock_.Now());
  if (!std::filesystem::exists(file)) return lines;
  const std::string text = Cp1252ToUtf8(ReadFileBytes(file));
  size_t pos = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos;
       pos = end + 2, end = text.find("\r\n", pos)) {
    const std::string line = text.substr(pos, end - pos);
    lines.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
  }
  return lines;
}

std::vector<std::string> SyncInstallation::LastRun() const {
  const std::vector<std::string> lines = LogLines();
  size_t start = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("INICIO -> SincronizaDLV", 0) == 0 ||
        lines[i].rfind("Exit após receber aviso", 0) == 0) {
      start = i;
    }
  }
  std::vector<std::string> run;
  for (size_t i = start; i < lines.size(); ++i) {
    run.push_back(lines[i]);
    if (lines[i] == "FIM -> SincronizaDLV") break;
  }
  return run;
}

int SyncInstallation::CountLogged(const std::string& message) const {
  int count = 0;
  for (const std::string& line : LogLines()) count += line == message ? 1 : 0;
  return count;
}

int SyncInstallation::CountLoggedStartingWith(const std::string& prefix) const {
  int count = 0;
  for (const std::string& line : LogLines()) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}

}  // namespace zlv::test
