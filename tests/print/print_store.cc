#include "print/print_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <set>
#include <stdexcept>

#include "bizlib/cp1252.h"
#include "database/connection_settings.h"
#include "print/print_files.h"

namespace zlv::test {

namespace fs = std::filesystem;

namespace {

const fs::path kSource = ZLV_SOURCE_DIR;

std::string InList(const std::vector<std::string>& values) {
  std::string list;
  for (const std::string& value : values) list += (list.empty() ? "'" : ", '") + value + "'";
  return list;
}

// Escapes a ticket line so that a failed comparison shows blanks, control bytes and accents.
std::string Visible(const std::string& line) {
  std::string out;
  for (unsigned char c : line) {
    if (c == ' ') {
      out += "\xC2\xB7";  // middle dot
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

PrintStore::PrintStore()
    : exe_(dir_.path() / "inst"), clock_(DateTime::FromCivil(2026, 12, 6, 21, 5, 9)) {
  fs::create_directories(zlv::TicketFolder(exe_));
  globals_.gCDFILIAL = "0001";
  globals_.gCDCAIXA = "001";
  globals_.gCDLOJA = "001";
  const fs::path file = exe_ / "Dados" / "ZlvSinc.db";
  sqlite3* raw = nullptr;
  if (sqlite3_open(file.string().c_str(), &raw) != SQLITE_OK) {
    throw std::runtime_error("cannot create " + file.string());
  }
  sqlite3_close(raw);
  db_ = OpenDatabase("sqlite:" + file.string());
  SetADODBSession(*db_);
  for (const char* script :
       {"db/schema.sqlite.sql", "db/demo-seed.sql", "tests/print/orders.sql"}) {
    Sql(ReadFileBytes(kSource / script));
  }
  log_ = std::make_unique<ActivityLog>(exe_, clock_);
  services_ = std::unique_ptr<Services>(new Services{*db_, *log_, clock_, globals_, exe_});
}

void PrintStore::Sql(const std::string& sql) {
  sqlite3* raw = nullptr;
  const fs::path file = exe_ / "Dados" / "ZlvSinc.db";
  if (sqlite3_open(file.string().c_str(), &raw) != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file.string());
  }
  sqlite3_busy_timeout(raw, 5000);
  // A test database need not survive a power cut; without syncs the schema loads in a blink.
  sqlite3_exec(raw, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  char* error = nullptr;
  const int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &error);
  std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message);
}

void PrintStore::Download(const std::vector<std::string>& central_sales) {
  const std::string in = InList(central_sales);
  cdsVendaRest.LoadPacket(db_->Query(
      "SELECT CDFILIAL, NRVENDARESTAUX AS NRVENDAREST, NRMESA, CDVENDEDOR, DTHRABERMESA, "
      "CDOPERADOR, CDLOJA, CDCLIENTE, CDCONSUMIDOR, NRMESAEATTAKE FROM VENDAREST "
      "WHERE NRVENDARESTAUX IN (" +
          in + ") ORDER BY NRVENDARESTAUX",
      {}));
  cdsComandaVen.LoadPacket(db_->Query(
      "SELECT CV.CDFILIAL, VR.NRVENDARESTAUX AS NRVENDAREST, CV.NRCOMANDA, CV.DSCOMANDA, "
      "CV.IDSTCOMANDA, CV.IDORGCMDVENDA, CV.IDRETBALLOJA, CV.DTHRAGENDADA, CV.DSPREVENTREGA, "
      "CV.NRCOMANDAEXT, CV.DSCONSUMIDOR, CV.DSOBSCOMANDA FROM COMANDAVEN CV JOIN VENDAREST VR "
      "ON VR.CDFILIAL = CV.CDFILIAL AND VR.NRVENDAREST = CV.NRVENDAREST "
      "WHERE VR.NRVENDARESTAUX IN (" +
          in + ")",
      {}));
  cdsCons.LoadPacket(db_->Query("SELECT * FROM CONSUMIDOR", {}));
  cdsVendaRest.First();
}

void PrintStore::DownloadCancellations(const std::vector<std::string>& central_sales) {
  cdsPedidosCanc.LoadPacket(db_->Query(
      "SELECT CDFILIAL, CDLOJA, NRVENDARESTAUX AS NRVENDAREST, NRVENDAREST AS NRVENDARESTAUX, "
      "CDCLIENTE, CDVENDEDOR FROM VENDAREST WHERE NRVENDARESTAUX IN (" +
          InList(central_sales) + ") ORDER BY NRVENDARESTAUX",
      {}));
}

fs::path PrintStore::TicketFolder() const { return zlv::TicketFolder(exe_); }

std::map<std::string, std::string> PrintStore::Tickets() const {
  std::map<std::string, std::string> tickets;
  for (const auto& entry : fs::directory_iterator(TicketFolder())) {
    tickets[entry.path().filename().string()] = ReadFileBytes(entry.path());
  }
  return tickets;
}

std::string PrintStore::LogText() const {
  const fs::path file = log_->FileFor(clock_.Now());
  return fs::exists(file) ? Cp1252ToUtf8(ReadFileBytes(file)) : "";
}

std::vector<std::string> TicketLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void ExpectTicketsMatchGolden(const PrintStore& store, const std::string& golden_case) {
  const fs::path folder = kSource / "tests" / "print" / "golden" / golden_case;
  const std::map<std::string, std::string> tickets = store.Tickets();
  const char* update = std::getenv("ZLV_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    fs::remove_all(folder);
    for (const auto& [name, bytes] : tickets) WriteFileBytes(folder / name, bytes);
    return;
  }
  std::set<std::string> expected_names;
  if (fs::exists(folder)) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      expected_names.insert(entry.path().filename().string());
    }
  }
  std::set<std::string> written_names;
  for (const auto& [name, bytes] : tickets) written_names.insert(name);
  EXPECT_EQ(written_names, expected_names) << "ticket files of " << golden_case;

  for (const auto& [name, bytes] : tickets) {
    if (!expected_names.count(name)) continue;
    const std::string golden = ReadFileBytes(folder / name);
    if (bytes == golden) continue;
    const std::vector<std::string> got = TicketLines(bytes);
    const std::vector<std::string> want = TicketLines(golden);
    std::string diff;
    for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
      const std::string g = i < got.size() ? Visible(got[i]) : "(none)";
      const std::string w = i < want.size() ? Visible(want[i]) : "(none)";
      if (g != w)
        diff += "line " + std::to_string(i + 1) + "\n  got:  " + g + "\n  want: " + w + "\n";
    }
    ADD_FAILURE() << golden_case << "/" << name << " differs from its golden file\n"
                  << (diff.empty() ? "(line ends differ)" : diff);
  }
}

}  // namespace zlv::test
