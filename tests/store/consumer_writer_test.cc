// InsereConsumidor and InsereConsumiFilial on the demo store's consumers.
#include "store/consumer_writer.h"

#include <gtest/gtest.h>

#include "database/transactions.h"
#include "download_builder.h"
#include "store_fixture.h"

namespace zlv {
namespace {

using test::Cells;
using test::PacketBuilder;

const DateTime kStamp = DateTime::FromCivil(2024, 3, 15, 18, 0, 0);

class ConsumerWriterTest : public ::testing::Test {
 protected:
  // The server's consumer packets carry a column for every column of the local table.
  PacketBuilder PacketLike(const std::string& table, const std::string& without = "") {
    std::vector<FieldDef> fields;
    for (const auto& row : store.Rows("PRAGMA table_info(" + table + ")").rows) {
      const std::string name = row[1].AsText();
      const std::string type = row[2].AsText();
      if (name == without) continue;
      fields.push_back({name,
                        type == "DATETIME" ? FieldType::DateTime
                        : type == "REAL"   ? FieldType::Float
                                           : FieldType::String,
                        type == "TEXT" ? 60 : 0});
    }
    return PacketBuilder(std::move(fields));
  }

  static Cells Consumer(const std::string& cdconsumidor, const std::string& name, DateTime stamp) {
    return {{"CDCLIENTE", "0001"},      {"CDCONSUMIDOR", cdconsumidor},
            {"NMCONSUMIDOR", name},     {"NRTELECONS", "1130009999"},
            {"DTNASCCONS", DateTime()}, {"DTCADCONS", DateTime::FromCivil(2024, 3, 1, 10)},
            {"DTULTATUCSUM", stamp},    {"IDATUCONSUMI", "N"}};
  }

  std::optional<std::string> Column(const std::string& column, const std::string& cdconsumidor) {
    return store.Value("SELECT " + column +
                           " FROM CONSUMIDOR WHERE CDCLIENTE = '0001' AND "
                           "CDCONSUMIDOR = ?",
                       {cdconsumidor});
  }

  test::StoreFixture store;
  DownloadSets sets;
};

TEST_F(ConsumerWriterTest, InsertsNewAndOverwritesOnlyStrictlyNewerConsumers) {
  PacketBuilder packet = PacketLike("CONSUMIDOR");
  packet.Add(Consumer("000010", "DIEGO NOVO", kStamp));
  // Seeded with 2024-01-10 09:00:00: one second later wins.
  packet.Add(Consumer("000001", "ANA PEREIRA SILVA", DateTime::FromCivil(2024, 1, 10, 9, 0, 1)));
  // Seeded with the same time stamp: left alone.
  packet.Add(Consumer("000002", "BRUNO ALTERADO", DateTime::FromCivil(2024, 2, 1, 18, 30, 0)));
  sets.cdsCons.LoadPacket(packet.packet());

  InsereConsumidor(store.services(), sets);

  EXPECT_TRUE(store.Logged("Metodo -> \"InsereConsumidor\" - 3 consumidores"));
  EXPECT_TRUE(sets.cdsCons.Eof());
  EXPECT_EQ(Column("NMCONSUMIDOR", "000010"), "DIEGO NOVO");
  EXPECT_EQ(Column("DTCADCONS", "000010"), "2024-03-01 10:00:00");
  // A zero date is no date.
  EXPECT_EQ(Column("COALESCE(DTNASCCONS, 'NULL')", "000010"), "NULL");
  // Every column of the newer consumer is overwritten, cleared ones included.
  EXPECT_EQ(Column("NMCONSUMIDOR", "000001"), "ANA PEREIRA SILVA");
  EXPECT_EQ(Column("COALESCE(DSEMAILCONS, 'NULL')", "000001"), "NULL");
  EXPECT_EQ(Column("COALESCE(DTNASCCONS, 'NULL')", "000001"), "NULL");
  EXPECT_EQ(Column("NMCONSUMIDOR", "000002"), "BRUNO COSTA");
  // The skipped last consumer ended its own transaction.
  EXPECT_FALSE(store.db().InTransaction());
}

TEST_F(ConsumerWriterTest, LocalConsumerWithoutTimeStampTakesAnyDatedDownload) {
  store.db().Execute("UPDATE CONSUMIDOR SET DTULTATUCSUM = NULL WHERE CDCONSUMIDOR = '000003'", {});
  PacketBuilder packet = PacketLike("CONSUMIDOR");
  packet.Add(Consumer("000003", "CARLA MENDES ATUALIZADA", DateTime::FromCivil(2001, 1, 1)));
  sets.cdsCons.LoadPacket(packet.packet());

  InsereConsumidor(store.services(), sets);

  EXPECT_EQ(Column("NMCONSUMIDOR", "000003"), "CARLA MENDES ATUALIZADA");
}

TEST_F(ConsumerWriterTest, FailingConsumerIsRolledBackAndTheNextOneWritten) {
  PacketBuilder packet = PacketLike("CONSUMIDOR");
  packet.Add(test::With(Consumer("", "SEM CODIGO", kStamp), {{"CDCONSUMIDOR", Variant::Null()}}));
  packet.Add(Consumer("000011", "ELISA", kStamp));
  sets.cdsCons.LoadPacket(packet.packet());

  InsereConsumidor(store.services(), sets);

  EXPECT_TRUE(store.Logged("Rollback - CLIENTE:0001 CONSUMIDOR:"));
  EXPECT_EQ(Column("NMCONSUMIDOR", "000011"), "ELISA");
  EXPECT_FALSE(store.db().InTransaction());
}

TEST_F(ConsumerWriterTest, DownloadLackingALocalColumnWritesNothing) {
  PacketBuilder packet = PacketLike("CONSUMIDOR", "NMQUADRANTE");
  packet.Add(Consumer("000012", "FABIO", kStamp));
  sets.cdsCons.LoadPacket(packet.packet());

  InsereConsumidor(store.services(), sets);

  EXPECT_EQ(Column("NMCONSUMIDOR", "000012"), std::nullopt);
  const auto lines = store.LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Rollback - CLIENTE:0001 CONSUMIDOR:000012");
  EXPECT_TRUE(lines.back().starts_with("ERRO: ")) << lines.back();
  EXPECT_NE(lines.back().find("NMQUADRANTE"), std::string::npos) << lines.back();
}

TEST_F(ConsumerWriterTest, ConsumerPerBranchRowsJoinTheCallersTransaction) {
  PacketBuilder packet = PacketLike("CONSUMIFILIAL");
  const Cells base = {{"CDCLIENTE", "0001"},
                      {"CDFILIAL", test::kFilial},
                      {"IDSITCONSFIL", "B"},
                      {"VRSALDCONSFIL", 12.5},
                      {"DTULTCOMPRA", DateTime()}};
  packet.Add(test::With(base, {{"CDCONSUMIDOR", "000003"}, {"DTULTATU", kStamp}}));
  // A consumer the store does not have: refused by its foreign key, logged, and the next
  // row still written.
  packet.Add(test::With(base, {{"CDCONSUMIDOR", "009999"}, {"DTULTATU", kStamp}}));
  packet.Add(test::With(base, {{"CDCONSUMIDOR", "000001"}, {"DTULTATU", kStamp}}));
  packet.Add(test::With(base, {{"CDCONSUMIDOR", "000002"},
                               {"DTULTATU", DateTime::FromCivil(2024, 2, 1, 18, 30, 0)}}));
  sets.cdsConsumiFilial.LoadPacket(packet.packet());

  AbreTransacao(store.db());
  InsereConsumiFilial(store.services(), sets);
  EXPECT_TRUE(store.db().InTransaction());
  ConfirmaTransacao(store.db());

  const DataPacket rows = store.Rows(
      "SELECT CDCONSUMIDOR, IDSITCONSFIL, VRSALDCONSFIL, DTULTCOMPRA FROM CONSUMIFILIAL "
      "ORDER BY CDCONSUMIDOR");
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[0][1].AsText(), "B");
  // Date-times of this table are copied as they come, the zero date included.
  EXPECT_EQ(rows.rows[0][3].AsText(), "1899-12-30 00:00:00");
  EXPECT_EQ(rows.rows[1][1].AsText(), "A");
  EXPECT_EQ(rows.rows[2][1].AsText(), "B");
  EXPECT_DOUBLE_EQ(rows.rows[2][2].AsFloat(), 12.5);
  EXPECT_TRUE(store.Logged("Metodo -> \"InsereConsumiFilial\""));
  EXPECT_TRUE(store.Logged("CLIENTE:0001 CONSUMIDOR:009999"));
}

}  // namespace
}  // namespace zlv
