// The rows the SQLite texts give on the demo store where they do the work of a SQL Server
// construct in the synchronisation and the writers: the upload's day window, the per-branch
// store list, the duplicate check by day, regional date texts, the scheduled-order window,
// housekeeping, and the foreign keys that the insert diagnosis reads.
#include <set>
#include <string>
#include <vector>

#include "database/catalogue_rows_fixture.h"

namespace zlv::test {
namespace {

class CatalogueRunRows : public CatalogueRows {};

TEST_P(CatalogueRunRows, UploadKeepsTheDaysOfTheStoreAndOlderFinishedOrders) {
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

TEST_P(CatalogueRunRows, StoresOfARunFollowTheBranchMode) {
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

TEST_P(CatalogueRunRows, OnlyARegisterSetUpForDeliveryMayRun) {
  auto run = [&](const char* caixa) {
    return Open("adqValidaExecucao", {{"P_CDFILIAL", "0001"}, {"P_CDCAIXA", caixa}});
  };
  const DataPacket allowed = run("001");
  ASSERT_EQ(allowed.rows.size(), 1u);
  EXPECT_EQ(Column(allowed, "CDLOJA"), (std::vector<std::string>{"001"}));
  EXPECT_TRUE(run("002").empty());
  EXPECT_TRUE(run("999").empty());
}

TEST_P(CatalogueRunRows, DuplicateCheckMatchesTheOpeningDayWhateverTheTime) {
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

TEST_P(CatalogueRunRows, RegionalDateTextsOfTheWritersAreStoredAsDateTimes) {
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

TEST_P(CatalogueRunRows, ScheduledOrderIsDueAtItsTimeMinusTheLeadTime) {
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

TEST_P(CatalogueRunRows, HousekeepingReplacesTheStoreSignOfLifeAndTrimsTheFailureLog) {
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
TEST_P(CatalogueRunRows, MissingMasterDataIsNamedByTableAndColumn) {
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

INSTANTIATE_TEST_SUITE_P(Drivers, CatalogueRunRows, ::testing::Values(Driver::Sqlite, Driver::Odbc),
                         DriverName);

}  // namespace
}  // namespace zlv::test
