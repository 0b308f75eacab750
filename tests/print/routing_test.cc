// CarregaImpressoras against the demo store: which routing files exist after a start, with
// which fields and rows, and what survives a start without printers.
#include <gtest/gtest.h>

#include <set>

#include "data/data_packet.h"
#include "print/print_files.h"
#include "print/print_store.h"
#include "print/printer_config.h"

namespace zlv::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FieldNames(const DataPacket& packet) {
  std::vector<std::string> names;
  for (const FieldDef& field : packet.fields) names.push_back(field.name);
  return names;
}

class RoutingTest : public ::testing::Test {
 protected:
  fs::path File(const char* name) const { return PrintDataFolder(store_.exe()) / name; }
  PrintStore store_;
};

TEST_F(RoutingTest, StoreRoutingFilesCarryTheSpoolerFieldsInOrder) {
  CarregaImpressoras(store_.services(), "0001", "001");

  DataPacket printers = LoadPacketFile(File("cdsImpressoras.cds"));
  EXPECT_EQ(FieldNames(printers),
            (std::vector<std::string>{"NRSEQIMPRLOJA", "NMIMPRLOJA", "CDPORTAIMPR", "IDMODEIMPRES",
                                      "DSENDPORTA", "IDUTILFONTEXP", "CDLOJA"}));
  ASSERT_EQ(printers.rows.size(), 3u);
  Dataset set(printers);
  ASSERT_TRUE(set.Locate({"NRSEQIMPRLOJA"}, {"2"}));
  EXPECT_EQ(set.Text("NMIMPRLOJA"), "BAR");
  EXPECT_EQ(set.Text("IDMODEIMPRES"), "1");
  EXPECT_EQ(set.Text("DSENDPORTA"), "127.0.0.1:9102");
  EXPECT_TRUE(set.Field("IDUTILFONTEXP").IsNull());  // no register uses the expanded font

  DataPacket backups = LoadPacketFile(File("cdsImpBackup.cds"));
  EXPECT_EQ(FieldNames(backups),
            (std::vector<std::string>{"NRSEQIMPRLOJA", "NRSEQIMPRLOJABK", "CDPORTAIMPR",
                                      "CDPORTAIMPRBK", "DSENDPORTA", "DSENDPORTABK", "IDMODEIMPRES",
                                      "IDMODEIMPRESBK", "CDFILIAL", "CDLOJA", "CDCAIXA", "TIPO"}));
  EXPECT_FALSE(backups.rows.empty());

  // Not per branch: no branch printer file, and an empty branch backup file.
  EXPECT_FALSE(fs::exists(File("cdsImpressorasFilial.cds")));
  DataPacket branch_backups = LoadPacketFile(File("cdsImpBackupFilial.cds"));
  EXPECT_EQ(
      FieldNames(branch_backups),
      (std::vector<std::string>{"NRSEQIMPRLOJA", "NRSEQIMPRLOJABK", "DSENDPORTA", "DSENDPORTABK",
                                "CDPORTAIMPR", "CDPORTAIMPRBK", "CDFILIAL", "CDLOJA", "CDCAIXA"}));
  EXPECT_TRUE(branch_backups.rows.empty());
}

TEST_F(RoutingTest, PerBranchModeExportsEveryStoreOfTheBranch) {
  store_.Sql(
      "UPDATE PARAVEND SET IDSINCFILIALDLV = 'S'; UPDATE CAIXA SET IDUTILFONTEXP = 'S' "
      "WHERE CDCAIXA = '002';");
  CarregaImpressoras(store_.services(), "0001", "001");
  DataPacket branch = LoadPacketFile(File("cdsImpressorasFilial.cds"));
  EXPECT_EQ(branch.rows.size(), 4u);
  Dataset set(branch);
  for (set.First(); !set.Eof(); set.Next()) EXPECT_EQ(set.Text("IDUTILFONTEXP"), "S");
}

TEST_F(RoutingTest, StartWithoutPrintersKeepsTheEarlierFilesAndDropsStaleBranchFiles) {
  CarregaImpressoras(store_.services(), "0001", "001");
  const std::string earlier = ReadFileBytes(File("cdsImpressoras.cds"));
  WriteFileBytes(File("cdsImpressorasFilial.cds"), "stale");

  CarregaImpressoras(store_.services(), "0001", "009");  // a store without printers

  EXPECT_EQ(ReadFileBytes(File("cdsImpressoras.cds")), earlier);
  EXPECT_FALSE(fs::exists(File("cdsImpressorasFilial.cds")));
  EXPECT_TRUE(LoadPacketFile(File("cdsImpBackup.cds")).rows.empty());
}

TEST_F(RoutingTest, MissingPrintDataFolderIsCreated) {
  fs::remove_all(PrintDataFolder(store_.exe()));
  CarregaImpressoras(store_.services(), "0001", "001");
  EXPECT_TRUE(fs::exists(File("cdsImpressoras.cds")));
  EXPECT_TRUE(fs::exists(File("cdsImpBackupFilial.cds")));
}

TEST_F(RoutingTest, DatabaseFailureIsLoggedAndStartUpGoesOn) {
  store_.Sql("DROP TABLE MAPIMPRLOJA;");
  EXPECT_NO_THROW(CarregaImpressoras(store_.services(), "0001", "001"));
  EXPECT_NE(store_.LogText().find("Método \"CarregaImpressoras\": Erro -> "), std::string::npos)
      << store_.LogText();
  EXPECT_FALSE(fs::exists(File("cdsImpressoras.cds")));
}

// Both stores of the branch have a COM1 and a COM2, at addresses of their own. The branch file
// matched the port map on the port code alone, so each pair came out once per store, with the
// other store's addresses too, and a spooler could send a ticket to the other store's printer.
TEST_F(RoutingTest, BranchBackupPairsCarryTheirOwnStoresAddressesOnce) {
  store_.Sql(
      "UPDATE PARAVEND SET IDSINCFILIALDLV = 'S';"
      "INSERT INTO IMPRLOJA (CDFILIAL, CDLOJA, NRSEQIMPRLOJA, NMIMPRLOJA, CDPORTAIMPR, "
      "CDIMPRESSORA) VALUES ('0001', '002', '2', 'BAR', 'COM2', '01');"
      "INSERT INTO MAPIMPRLOJA (CDFILIAL, CDLOJA, CDPORTAIMPR, DSENDPORTA) VALUES "
      "('0001', '002', 'COM2', '127.0.0.1:9202');"
      "UPDATE CAIXA SET NRSEQIMPRLOJA1BK = '2' WHERE CDCAIXA = '003';");
  CarregaImpressoras(store_.services(), "0001", "001");

  Dataset pairs(LoadPacketFile(File("cdsImpBackupFilial.cds")));
  std::set<std::string> seen;
  for (pairs.First(); !pairs.Eof(); pairs.Next()) {
    const std::string pair = pairs.Text("CDLOJA") + "/" + pairs.Text("CDCAIXA") + "/" +
                             pairs.Text("NRSEQIMPRLOJA") + "->" + pairs.Text("NRSEQIMPRLOJABK");
    EXPECT_TRUE(seen.insert(pair).second) << "pair twice: " << pair;
    // The demo addresses are 127.0.0.1:9<store><port>.
    const std::string own = "127.0.0.1:9" + pairs.Text("CDLOJA").substr(2);
    EXPECT_TRUE(pairs.Text("DSENDPORTA").starts_with(own))
        << pair << " " << pairs.Text("DSENDPORTA");
    EXPECT_TRUE(pairs.Text("DSENDPORTABK").starts_with(own))
        << pair << " " << pairs.Text("DSENDPORTABK");
  }
  EXPECT_TRUE(seen.count("002/003/1->2")) << "the second store's pair is missing";
  EXPECT_TRUE(seen.count("001/001/1->2"));
}

}  // namespace
}  // namespace zlv::test
