// Fixture of the catalogue's row tests: the demo store opened through the embedded SQLite
// driver or, through unixODBC, the SQLite ODBC driver (which sees none of the embedded driver's
// own set-up), with helpers that add sales, items and observations and run catalogue
// statements by name. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "database/connection_settings.h"
#include "database/named_statement.h"
#include "support/demo_store.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace zlv::test {

using Params = std::vector<std::pair<std::string_view, Variant>>;

struct SaleRow {
  std::string nr;
  std::string aux = {};
  int days_ago = 0;
  std::string time = "12:00:00";
  std::string status = "3";
  std::string loja = "001";
  std::string consumidor = "000001";
  std::string dscomanda = {};     // "DLV_C" + nr when empty
  std::string sincronizado = {};  // NULL when empty
};

class CatalogueRows : public ::testing::TestWithParam<Driver> {
 protected:
  void SetUp() override {
    const auto file = dir_.path() / "store.db";
    db_ = OpenDemoStore(file);
    if (GetParam() == Driver::Odbc) {
      db_.reset();
      db_ = OpenDatabase(ConnectionString(Driver::Odbc, file));
      SetADODBSession(*db_);
    }
  }

  void Sql(const std::string& sql, const std::vector<Variant>& params = {}) {
    db_->Execute(sql, params);
  }

  std::string Today() {
    return db_->Query("SELECT date('now', 'localtime')", {}).rows.at(0).at(0).AsText();
  }

  // A delivery sale with one order tab "C" + nr, opened days_ago days before the database's
  // local date, at the given time.
  void AddSale(const SaleRow& s) {
    Sql("INSERT INTO VENDAREST (CDFILIAL, NRVENDAREST, CDVENDEDOR, DTHRABERMESA, CDOPERADOR, "
        "CDLOJA, CDCLIENTE, CDCONSUMIDOR, NRVENDARESTAUX, NRMESA) VALUES ('0001', ?, '9999', "
        "date('now', 'localtime', ?) || ' ' || ?, '0001', ?, '0001', ?, ?, '12')",
        {s.nr, "-" + std::to_string(s.days_ago) + " days", s.time, s.loja, s.consumidor,
         s.aux.empty() ? Variant::Null() : Variant(s.aux)});
    Sql("INSERT INTO COMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, DSCOMANDA, IDSTCOMANDA, "
        "CDLOJA, IDSINCRONIZADO, IDORGCMDVENDA) VALUES ('0001', ?, ?, ?, ?, ?, ?, 'DLV_IFO')",
        {s.nr, "C" + s.nr, s.dscomanda.empty() ? "DLV_C" + s.nr : s.dscomanda, s.status, s.loja,
         s.sincronizado.empty() ? Variant::Null() : Variant(s.sincronizado)});
  }

  void AddItem(const std::string& nr, const std::string& item, const std::string& produto,
               const std::string& tx = "", const Variant& typed = Variant::Null(),
               const std::string& status = "1") {
    Sql("INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, "
        "QTPRODCOMVEN, VRPRECCOMVEN, IDSTPRCOMVEN, VRDESCCOMVEN, VRACRCOMVEN, CDLOJA, "
        "TXPRODCOMVEN, DSOBSPEDDIGCMD) "
        "SELECT '0001', ?, ?, ?, ?, 1, 10, ?, 0, 0, CDLOJA, ?, ? FROM VENDAREST "
        "WHERE NRVENDAREST = ?",
        {nr, "C" + nr, item, produto, status, tx, typed, nr});
  }

  void AddObservation(const std::string& table, const std::string& nr, const std::string& item,
                      const std::string& ocorrencia, const Variant& quantity,
                      const std::string& produto = "") {
    const std::string grupo = ocorrencia.substr(0, 2), codigo = ocorrencia.substr(3);
    if (table == "OBSITCOMANDAVEN") {
      Sql("INSERT INTO OBSITCOMANDAVEN VALUES ('0001', ?, ?, ?, ?, ?, ?)",
          {nr, "C" + nr, item, grupo, codigo, quantity});
    } else {
      Sql("INSERT INTO OBSITCOMANDAEST VALUES ('0001', ?, ?, ?, ?, ?, ?, ?)",
          {nr, "C" + nr, item, produto, grupo, codigo, quantity});
    }
  }

  DataPacket Open(std::string_view statement, const Params& params) {
    NamedStatement query(*db_, statement);
    for (const auto& [name, value] : params) query.SetParam(name, value);
    return query.Packet();
  }

  int64_t Run(std::string_view statement, const Params& params) {
    NamedStatement command(*db_, statement);
    for (const auto& [name, value] : params) command.SetParam(name, value);
    return command.Execute();
  }

  static std::vector<std::string> Column(const DataPacket& packet, std::string_view field) {
    const int index = packet.FieldIndex(field);
    EXPECT_GE(index, 0) << field;
    std::vector<std::string> out;
    if (index < 0) return out;
    for (const auto& row : packet.rows) {
      out.push_back(row[index].IsNull() ? "<null>" : row[index].AsText());
    }
    return out;
  }

  static std::set<std::string> Sales(const DataPacket& packet) {
    const auto column = Column(packet, "NRVENDAREST");
    return {column.begin(), column.end()};
  }

  TempDir dir_{"zlv_catalogue_rows"};
  std::unique_ptr<Database> db_;
};

inline const Params kStore001 = {{"P_CDFILIAL", "0001"}, {"P_CDLOJA", "001"}};

}  // namespace zlv::test
