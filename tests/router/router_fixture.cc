#include "router_fixture.h"

#include <sqlite3.h>

#include <stdexcept>

#include "bizlib/cp1252.h"
#include "bizlib/https.h"
#include "support/demo_store.h"

namespace zlv::test {
namespace {

std::filesystem::path DatabaseFile(const TempDir& dir) { return dir.path() / "ZlvSinc.db"; }

void ExecScript(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + file.string());
  }
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  const std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message + "\n" + sql);
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::unique_ptr<Database> RouterTest::OpenStoreDatabase(const TempDir& dir) {
  return OpenDemoStore(DatabaseFile(dir));
}

RouterTest::RouterTest(TestHttpsServer::Certificate certificate) : server_(certificate) {
  globals_.gCDFILIAL = "0001";
  globals_.gCDLOJA = "001";
  SetHttpsExtraCaFile(server_.ca_file().string());
  Sql("UPDATE LOJA SET IDUTILINTROT = 'S' WHERE CDFILIAL = '0001' AND CDLOJA = '001'");
  SetRouterAddress(server_.url(""));
  server_.SetReply(200, "{\"success\":true}", "application/json");
}

RouterTest::~RouterTest() { SetHttpsExtraCaFile(""); }

void RouterTest::Sql(const std::string& sql) { ExecScript(DatabaseFile(dir_), sql); }

void RouterTest::SetRouterAddress(const std::string& cdurlrot) {
  Sql("UPDATE LOJA SET CDURLROT = " + Quoted(cdurlrot) +
      " WHERE CDFILIAL = '0001' AND CDLOJA = '001'");
}

void RouterTest::AddOrder(const std::string& nrvendarest, const std::string& nrcomanda) {
  Sql("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDVENDEDOR, CDOPERADOR, CDLOJA, CDCLIENTE,"
      " CDCONSUMIDOR, NRVENDARESTAUX) VALUES ('0001', " +
      Quoted(nrvendarest) + ", '9999', '0001', '001', '0001', '000001', " +
      Quoted("C" + nrvendarest) +
      ");"
      "INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, CDLOJA,"
      " CDPAIS, SGESTADO, CDMUNICIPIO, IDORGCMDVENDA, NRCOMANDAEXT, DTINCLUSAO) VALUES ('0001', " +
      Quoted(nrvendarest) + ", " + Quoted(nrcomanda) + ", " + Quoted("DLV_" + nrcomanda) +
      ", 'P', '001', '1058', 'SP', '3550308', 'DLV_IFO', " + Quoted("IFO-" + nrcomanda) +
      ", '2026-03-07 19:05:09')");
}

void RouterTest::AddItem(const std::string& nrvendarest, const std::string& nrcomanda,
                         const std::string& nrprodcomven, const std::string& cdproduto,
                         double quantidade, double preco) {
  Sql("INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO,"
      " QTPRODCOMVEN, VRPRECCOMVEN, IDSTPRCOMVEN, VRDESCCOMVEN, VRACRCOMVEN, CDLOJA) VALUES"
      " ('0001', " +
      Quoted(nrvendarest) + ", " + Quoted(nrcomanda) + ", " + Quoted(nrprodcomven) + ", " +
      Quoted(cdproduto) + ", " + std::to_string(quantidade) + ", " + std::to_string(preco) +
      ", '1', 0, 0, '001')");
}

void RouterTest::AddPayment(const std::string& nrvendarest, const std::string& nrseqmovdlv,
                            const std::string& cdtiporece, const std::string& kind, double valor) {
  Sql("INSERT INTO MOVCAIXADLV (CDFILIAL, NRVENDAREST, NRSEQMOVDLV, IDTIPOMOVIVEDLV,"
      " VRMOVIVENDDLV, CDTIPORECE, CDCLIENTE, CDCONSUMIDOR) VALUES ('0001', " +
      Quoted(nrvendarest) + ", " + Quoted(nrseqmovdlv) + ", " + Quoted(kind) + ", " +
      std::to_string(valor) + ", " + Quoted(cdtiporece) + ", '0001', '000001')");
}

std::pair<std::string, std::string> RouterTest::RouterState(const std::string& nrcomanda) {
  const DataPacket rows = db_->Query(
      "SELECT IDSITUPEDROT, DTSAIDACMD FROM COMANDAVEN WHERE CDFILIAL = '0001'"
      " AND NRCOMANDA = ?",
      {Variant(nrcomanda)});
  if (rows.rows.size() != 1) throw std::runtime_error("no order tab " + nrcomanda);
  return {rows.rows[0][0].AsText(), rows.rows[0][1].AsText()};
}

std::vector<std::string> RouterTest::LogMessages() const {
  const std::filesystem::path file = log_.FileFor(clock_.Now());
  if (!std::filesystem::exists(file)) return {};
  const std::string text = Cp1252ToUtf8(ReadFileBytes(file));
  // "07/03/2026 19:30:00 - " before every message.
  constexpr size_t kStampLength = 22;
  std::vector<std::string> messages;
  size_t begin = 0;
  for (size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    messages.push_back(text.substr(begin + kStampLength, end - begin - kStampLength));
  }
  return messages;
}

}  // namespace zlv::test
