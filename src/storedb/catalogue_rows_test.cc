// The rows the SQLite texts give on the demo store, where they do the work of a SQL Server
// construct: the upload's day window, the per-branch store list, the observation lists of the
// tickets, the duplicate check by day, regional date texts, the scheduled-order window, and the
// foreign keys that the insert diagnosis reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "storedb/demo_store_testing.h"
#include "storedb/named_statement.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

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

class CatalogueRows : public ::testing::Test {
 protected:
  void SetUp() override { db_ = test::OpenDemoStore(dir_.path() / "store.db"); }

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

  test::TempDir dir_{"zlv_catalogue_rows"};
  std::unique_ptr<Database> db_;
};

const Params kStore001 = {{"P_CDFILIAL", "0001"}, {"P_CDLOJA", "001"}};

TEST_F(CatalogueRows, UploadKeepsTheDaysOfTheStoreAndOlderFinishedOrders) {
  AddSale({.nr = "100"});
  AddSale({.nr = "101", .days_ago = 1, .time = "00:00:00"});  // first second of the window
  AddSale({.nr = "102", .days_ago = 2, .time = "23:59:59"});  // last second before it
  AddSale({.nr = "103", .days_ago = 2, .status = "X"});
  AddSale({.nr = "104", .days_ago = 5, .status = "4"});
  AddSale({.nr = "105", .days_ago = 5, .status = "5"});
  AddSale({.nr = "106", .days_ago = 5, .status = "P"});
  AddSale({.nr = "107", .sincronizado = "S"});
  AddSale({.nr = "108", .dscomanda = "ENC_C108"});
  AddSale({.nr = "109", .loja = "002"});
  // Consumer 000003 registered at the store, so every upload query sees every sale.
  Sql("UPDATE VENDAREST SET CDCONSUMIDOR = '000003'");
  Sql("INSERT INTO ITCOMANDAVEN (CDFILIAL, NRVENDAREST, NRCOMANDA, NRPRODCOMVEN, CDPRODUTO, "
      "CDLOJA) SELECT CDFILIAL, NRVENDAREST, NRCOMANDA, '001', '10001', CDLOJA FROM COMANDAVEN");
  Sql("INSERT INTO MOVCAIXADLV (CDFILIAL, NRVENDAREST, NRSEQMOVDLV, IDTIPOMOVIVEDLV, "
      "VRMOVIVENDDLV, CDTIPORECE) SELECT CDFILIAL, NRVENDAREST, '1', 'E', 20, '001' FROM "
      "VENDAREST");

  const std::set<std::string> one_day = {"100", "101", "103", "104", "105"};
  for (const char* statement :
       {"adqVendaRest", "adqComandaVen", "adqItComandaVen", "adqMovCaixaDLV", "adqConsumidor"}) {
    EXPECT_EQ(Sales(Open(statement, kStore001)), one_day) << statement << ", NULL days";
  }

  Sql("UPDATE LOJA SET IDSINCQUANTDIA = 2 WHERE CDLOJA = '001'");
  auto two_days = one_day;
  two_days.insert("102");
  EXPECT_EQ(Sales(Open("adqComandaVen", kStore001)), two_days);
  Sql("UPDATE LOJA SET IDSINCQUANTDIA = 0 WHERE CDLOJA = '001'");
  EXPECT_EQ(Sales(Open("adqVendaRest", kStore001)),
            (std::set<std::string>{"100", "103", "104", "105"}));
}

TEST_F(CatalogueRows, StoresOfARunFollowTheBranchMode) {
  const Params register001 = {{"P_CDFILIAL", "0001"}, {"P_CDCAIXA", "001"}};
  auto stores = [&] {
    const DataPacket rows = Open("adqDados", register001);
    std::vector<std::string> out;
    for (const auto& row : rows.rows) out.push_back(row[0].AsText() + row[1].AsText());
    return out;
  };
  EXPECT_EQ(stores(), (std::vector<std::string>{"001N"}));
  Sql("UPDATE PARAVEND SET IDSINCFILIALDLV = 'S'");
  EXPECT_EQ(stores(), (std::vector<std::string>{"001S", "002S"}));
  Sql("DELETE FROM PARAVEND");
  EXPECT_TRUE(stores().empty());
}

TEST_F(CatalogueRows, OnlyARegisterSetUpForDeliveryMayRun) {
  auto run = [&](const char* caixa) {
    return Open("adqValidaExecucao", {{"P_CDFILIAL", "0001"}, {"P_CDCAIXA", caixa}});
  };
  const DataPacket allowed = run("001");
  ASSERT_EQ(allowed.rows.size(), 1u);
  EXPECT_EQ(Column(allowed, "CDLOJA"), (std::vector<std::string>{"001"}));
  EXPECT_TRUE(run("002").empty());
  EXPECT_TRUE(run("999").empty());
}

TEST_F(CatalogueRows, KitchenItemsCarryTheirObservationListWithoutTheTypedText) {
  AddSale({.nr = "200", .aux = "9200"});
  AddItem("200", "001", "10001", "", Variant("caprichar; sem sal"));
  AddObservation("OBSITCOMANDAVEN", "200", "001", "01.002", 2.0);              // SEM TOMATE twice
  AddObservation("OBSITCOMANDAVEN", "200", "001", "01.001", Variant::Null());  // once
  AddObservation("OBSITCOMANDAVEN", "200", "001", "02.001", 0.0);              // not at all
  AddItem("200", "002", "10002", " SEM CEBOLA;");  // the central server's own text
  AddObservation("OBSITCOMANDAVEN", "200", "002", "01.001", Variant::Null());
  AddObservation("OBSITCOMANDAVEN", "200", "002", "01.004", Variant::Null());
  AddItem("200", "003", "10004", "COM GELO E LIMAO ESPREMIDO NA HORA, SEM CANUDO");

  const DataPacket pedido =
      Open("adqBuscaPedido", {{"P_CDFILIAL", "0001"}, {"P_NRVENDARESTAUX", "9200"}});
  EXPECT_EQ(Column(pedido, "NRPRODCOMVEN"), (std::vector<std::string>{"001", "002", "003"}));
  EXPECT_EQ(Column(pedido, "DSOBSITEMVENDA"),
            (std::vector<std::string>{" SEM CEBOLA;SEM TOMATE;SEM TOMATE;", " AO PONTO;",
                                      "COM GELO E LIMAO ESPREMIDO NA HORA, SEM CANUDO"}));
  EXPECT_EQ(Column(pedido, "DSOBSPEDDIGITA"),
            (std::vector<std::string>{" caprichar;sem sal;", "<null>", "<null>"}));
  EXPECT_EQ(Column(pedido, "TXPRODCOMVEN")[2], "COM GELO E LIMAO ESPREMIDO NA ");
  EXPECT_EQ(Column(pedido, "NMPRODUTO")[0], "HAMB CLASSICO");

  // A scheduled order reads the same rows by the store's own sale number.
  const DataPacket encomenda =
      Open("adqBuscaEncomenda", {{"P_CDFILIAL", "0001"}, {"P_NRVENDAREST", "200"}});
  EXPECT_EQ(encomenda, pedido);
}

TEST_F(CatalogueRows, KitchenItemsOfAComboStayTogetherAfterThePlainOnes) {
  AddSale({.nr = "210", .aux = "9210"});
  AddItem("210", "001", "20001");
  AddItem("210", "002", "10001");
  AddItem("210", "003", "10004");
  Sql("UPDATE ITCOMANDAVEN SET CDPRODPROMOCAO = '20001', NRSEQPRODCOM = '001' "
      "WHERE NRPRODCOMVEN IN ('001', '002')");
  const DataPacket rows =
      Open("adqBuscaPedido", {{"P_CDFILIAL", "0001"}, {"P_NRVENDARESTAUX", "9210"}});
  const auto items = Column(rows, "NRPRODCOMVEN");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], "003");
  EXPECT_EQ(std::set<std::string>(items.begin() + 1, items.end()),
            (std::set<std::string>{"001", "002"}));
  EXPECT_EQ(Column(rows, "NMPRODUTOPROM")[1], "COMBO CLASSICO");
}

TEST_F(CatalogueRows, DeliveryTicketListsOnlyItsObservationsAndSkipsCancelledItems) {
  AddSale({.nr = "220", .aux = "9220"});
  AddItem("220", "001", "10001", "", Variant("bem embalado"));
  AddObservation("OBSITCOMANDAVEN", "220", "001", "01.001", Variant::Null());
  AddObservation("OBSITCOMANDAVEN", "220", "001", "01.005", Variant::Null());  // kitchen only
  AddObservation("OBSITCOMANDAEST", "220", "001", "02.002", 2.0, "30002");
  AddItem("220", "002", "10004", "", Variant::Null(), "6");

  const DataPacket itens =
      Open("adqItensITCOMANDAVEN",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDARESTAUX", "9220"}});
  EXPECT_EQ(Column(itens, "CDPRODUTO"), (std::vector<std::string>{"10001"}));
  EXPECT_EQ(Column(itens, "DSOBSITEMVENDA"), (std::vector<std::string>{" SEM CEBOLA;"}));
  // ' ' + list + ';' keeps the list's own leading blank: the server text's first REPLACE
  // turns a blank into a blank.
  EXPECT_EQ(Column(itens, "DSOBSITEMVENDAEST"),
            (std::vector<std::string>{"  QUEIJO EXTRA;QUEIJO EXTRA;"}));
  EXPECT_EQ(Column(itens, "DSOBSPEDDIGITA"), (std::vector<std::string>{" bem embalado;"}));
  EXPECT_EQ(Column(itens, "SGUNIDADE"), (std::vector<std::string>{"UN"}));

  // The scheduled variant has every observation of the item (no delivery-ticket filter).
  const DataPacket enc =
      Open("adqItensITCOMANDAVENEnc",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDAREST", "220"}});
  EXPECT_EQ(Column(enc, "DSOBSITEMVENDA"),
            (std::vector<std::string>{" SEM CEBOLA;CORTAR AO MEIO;"}));
}

TEST_F(CatalogueRows, DeliveryTicketOfAStoreOrderedByNameGroupsBySalesScreen) {
  AddSale({.nr = "230", .aux = "9230", .loja = "002"});  // store 002 orders by name
  AddItem("230", "001", "10010");                        // on no screen button
  AddItem("230", "002", "10004");                        // BEBIDAS
  AddItem("230", "003", "10001");                        // LANCHES
  const DataPacket itens =
      Open("adqItensITCOMANDAVEN",
           {{"P_CDCLIENTE", "0001"}, {"P_CDCONSUMIDOR", "000001"}, {"P_NRVENDARESTAUX", "9230"}});
  EXPECT_EQ(Column(itens, "CDPRODUTO"), (std::vector<std::string>{"10004", "10001", "10010"}));
}

TEST_F(CatalogueRows, DuplicateCheckMatchesTheOpeningDayWhateverTheTime) {
  AddSale({.nr = "300", .aux = "9300", .time = "10:15:00"});
  AddSale({.nr = "301", .aux = "9300", .time = "18:00:00", .consumidor = "000002"});
  AddSale({.nr = "302", .aux = "9300", .days_ago = 1});
  AddSale({.nr = "303", .aux = "9300", .loja = "002"});
  for (const char* time : {"00:00:00", "10:15:00", "23:59:59"}) {
    const DataPacket rows = Open("adqVendaRestDuplicada",
                                 {{"P_NRVENDARESTAUX", "9300"},
                                  {"P_DTHRABERMESA", *DateTime::ParseIso(Today() + " " + time)},
                                  {"P_CDFILIAL", "0001"},
                                  {"P_CDLOJA", "001"}});
    EXPECT_EQ(Column(rows, "NRVENDAREST"), (std::vector<std::string>{"301", "300"})) << time;
    EXPECT_EQ(Column(rows, "CDCONSUMIDOR")[0], "000002");
  }
}

TEST_F(CatalogueRows, RegionalDateTextsOfTheWritersAreStoredAsDateTimes) {
  const Params sale = {{"P_CDFILIAL", "0001"},
                       {"P_CDVENDEDOR", "9999"},
                       {"P_CDOPERADOR", "0001"},
                       {"P_CDLOJA", "001"},
                       {"P_CDCLIENTE", "0001"},
                       {"P_CDCONSUMIDOR", "000001"},
                       {"P_DTHRABERMESA", *DateTime::ParseIso("2024-05-02 10:00:00")}};
  auto closing = [&](const std::string& nr, const std::string& text) {
    Params params = sale;
    params.emplace_back("P_NRVENDAREST", nr);
    params.emplace_back("P_DTHRFECHMESA", text);
    Run("acmVendaRest", params);
    return db_->Query("SELECT DTHRFECHMESA FROM VENDAREST WHERE NRVENDAREST = ?", {nr})
        .rows.at(0)
        .at(0);
  };
  EXPECT_EQ(closing("1", "02/05/2024 13:45:10").AsText(), "2024-05-02 13:45:10");
  EXPECT_EQ(closing("2", "02/05/2024").AsText(), "2024-05-02 00:00:00");
  EXPECT_EQ(closing("3", "").AsText(), "1900-01-01 00:00:00");  // as the server converts ''
  EXPECT_EQ(closing("4", "2024-05-02 13:45:10").AsText(), "2024-05-02 13:45:10");

  Run("acmInsComandaVen", {{"P_CDFILIAL", "0001"},
                           {"P_NRVENDAREST", "1"},
                           {"P_NRCOMANDA", "1"},
                           {"P_DSCOMANDA", "DLV_1"},
                           {"P_DTENTREGA", "31/12/2024 20:30:00"}});
  EXPECT_EQ(db_->Query("SELECT DTENTREGA FROM COMANDAVEN", {}).rows.at(0).at(0).AsText(),
            "2024-12-31 20:30:00");
}

TEST_F(CatalogueRows, ScheduledOrderIsDueAtItsTimeMinusTheLeadTime) {
  AddSale({.nr = "400", .dscomanda = "ENC_C400"});
  AddSale({.nr = "401", .dscomanda = "ENC_C401"});
  AddSale({.nr = "402", .status = "4", .dscomanda = "ENC_C402"});
  Sql("UPDATE COMANDAVEN SET DTHRAGENDADA = datetime('now', 'localtime', '+2 hours')");
  Sql("UPDATE COMANDAVEN SET DTHRAGENDADA = datetime('now', 'localtime', '+4 hours') "
      "WHERE NRVENDAREST = '401'");
  auto due = [&](const Variant& minutes) {
    Params params = kStore001;
    params.emplace_back("P_NRTEMPOPROD", minutes);
    return Sales(Open("adqEncVendarest", params));
  };
  EXPECT_EQ(due(180), (std::set<std::string>{"400"}));
  EXPECT_EQ(due(300), (std::set<std::string>{"400", "401"}));
  EXPECT_TRUE(due(0).empty());
  EXPECT_TRUE(due(Variant::Null()).empty());

  Run("acmUpdSincAgenda", {{"P_CDFILIAL", "0001"}, {"P_NRVENDAREST", "400"}});
  EXPECT_TRUE(due(180).empty());
  Params params = kStore001;
  params.emplace_back("P_NRTEMPOPROD", 300);
  EXPECT_EQ(Sales(Open("adqEncComandaVen", params)), (std::set<std::string>{"401"}));
  EXPECT_EQ(Sales(Open("adqEncConsumidor", params)), (std::set<std::string>{"401"}));
  const DataPacket waiting =
      Open("adqVerifEncomenda", {{"P_CDFILIAL", "0001"}, {"P_CDCAIXA", "001"}});
  EXPECT_EQ(waiting.rows.size(), 1u);  // 401: waiting, whatever its time
}

TEST_F(CatalogueRows, HousekeepingReplacesTheStoreSignOfLifeAndTrimsTheFailureLog) {
  const Params store = kStore001;
  Run("acmInsZlvSincExecuta", store);
  Run("acmInsZlvSincExecuta", store);
  EXPECT_EQ(db_->Query("SELECT COUNT(*) FROM ZLVSINCEXECUTA WHERE CDLOJA = '001' "
                       "AND DTZLVSINCEXEC IS NOT NULL",
                       {})
                .rows.at(0)
                .at(0)
                .AsInteger(),
            1);

  const Variant opened = *DateTime::ParseIso("2024-05-02 10:00:00");
  for (const char* aux : {"9500", "9501"}) {
    Run("acmInsLogSincDlv", {{"P_CDFILIAL", "0001"},
                             {"P_CDLOJA", "001"},
                             {"P_NRVENDARESTAUX", aux},
                             {"P_DTHRABERMESA", opened},
                             {"P_DSLOG", "erro;;"},
                             {"P_DSLOGMSG", "O OPERADOR 7 NAO FOI BAIXADO PARA O CAIXA ; "},
                             {"P_DSCONSUMIDOR", ""}});
  }
  Sql("UPDATE LOGSINCDLV SET IDIMPLOG = 'S' WHERE NRVENDARESTAUX = '9501'");
  // This order's own record goes; an old record already shown goes with it.
  EXPECT_EQ(Run("acmDelLogSincDlv", {{"P_CDFILIAL", "0001"},
                                     {"P_CDLOJA", "001"},
                                     {"P_NRVENDARESTAUX", "9500"},
                                     {"P_DTHRABERMESA", opened}}),
            2);
}

// The insert diagnosis names the missing master data from the foreign key that failed.
TEST_F(CatalogueRows, MissingMasterDataIsNamedByTableAndColumn) {
  AddSale({.nr = "600"});
  auto failure = [&](std::string_view statement, const Params& params) -> std::string {
    try {
      Run(statement, params);
    } catch (const DatabaseError& e) {
      return e.what();
    }
    return "no failure";
  };
  const Params item = {{"P_CDFILIAL", "0001"},    {"P_NRVENDAREST", "600"}, {"P_NRCOMANDA", "C600"},
                       {"P_NRPRODCOMVEN", "001"}, {"P_CDPRODUTO", "99999"}, {"P_QTPRODCOMVEN", 1.0},
                       {"P_VRPRECCOMVEN", 10.0},  {"P_CDLOJA", "001"}};
  EXPECT_NE(failure("acmInsItComVen", item).find("tabela \"MORVANE.PRODUTO\", column 'CDPRODUTO'"),
            std::string::npos);

  Params sale = {{"P_CDFILIAL", "0001"},      {"P_NRVENDAREST", "601"}, {"P_CDVENDEDOR", "9999"},
                 {"P_CDOPERADOR", "7777"},    {"P_CDLOJA", "001"},      {"P_CDCLIENTE", "0001"},
                 {"P_CDCONSUMIDOR", "000001"}};
  EXPECT_NE(failure("acmVendaRest", sale).find("\"MORVANE.OPERADOR\", column 'CDOPERADOR'"),
            std::string::npos);
  sale[3].second = "0001";
  sale[2].second = "7777";
  EXPECT_NE(failure("acmVendaRest", sale).find("\"MORVANE.VENDEDOR\", column 'CDVENDEDOR'"),
            std::string::npos);

  EXPECT_NE(failure("acmObsItComandaVen", {{"P_CDFILIAL", "0001"},
                                           {"P_NRVENDAREST", "600"},
                                           {"P_NRCOMANDA", "C600"},
                                           {"P_NRPRODCOMVEN", "001"},
                                           {"P_CDGRPOCOR", "09"},
                                           {"P_CDOCORR", "999"}})
                .find("MORVANE.OCORRENCIA"),
            std::string::npos);
  EXPECT_NE(failure("acmCriaMovCaixaDlv", {{"P_CDFILIAL", "0001"},
                                           {"P_NRVENDAREST", "600"},
                                           {"P_NRSEQMOVDLV", "1"},
                                           {"P_CDTIPORECE", "077"}})
                .find("\"MORVANE.TIPORECE\", column 'CDTIPORECE'"),
            std::string::npos);
  EXPECT_NE(failure("acmInsProdEst", {{"P_CDFILIAL", "0001"},
                                      {"P_NRVENDAREST", "600"},
                                      {"P_NRCOMANDA", "C600"},
                                      {"P_NRPRODCOMVEN", "001"},
                                      {"P_CDPRODUTO", "88888"}})
                .find("\"MORVANE.PRODUTO\", column 'CDPRODUTO'"),
            std::string::npos);
}

}  // namespace
}  // namespace zlv
