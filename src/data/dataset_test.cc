#include "data/dataset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "data/filter.h"

namespace zlv {
namespace {

DataPacket Orders() {
  DataPacket p;
  p.fields = {{"NRSEQ", FieldType::Integer, 0},
              {"NMCLIENTE", FieldType::String, 30},
              {"DTPEDIDO", FieldType::DateTime, 0}};
  const char* names[] = {"bia", "Ana", "carla", "ana", "Bruno", "ANA"};
  for (int i = 0; i < 6; ++i) {
    p.rows.push_back(
        {Variant(i + 1), Variant(names[i]), Variant(DateTime::FromCivil(2024, 1, 10 - i))});
  }
  return p;
}

std::vector<std::string> Walk(Dataset& ds, std::string_view field = "NRSEQ") {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.Text(field));
  return out;
}

using Texts = std::vector<std::string>;

TEST(Dataset, DeletingWhileWalkingVisitsTheRowThatFollowed) {
  Dataset ds(Orders());
  ds.First();
  while (!ds.Eof()) {
    if (ds.Field("NRSEQ").AsInteger() % 2 == 0) {
      ds.Delete();
    } else {
      ds.Next();
    }
  }
  EXPECT_EQ(Walk(ds), (Texts{"1", "3", "5"}));
  ds.Last();
  ds.Delete();  // the last row: the cursor stands on the new last row
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.Text("NRSEQ"), "3");
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Delete();
  ds.Delete();
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_THROW(ds.Delete(), std::logic_error);
  EXPECT_THROW(ds.Field("NRSEQ"), std::logic_error);
}

TEST(Dataset, EditingRowsOutOfTheFilterWhileWalkingVisitsEachOnce) {
  Dataset ds(Orders());
  ds.SetFilter("NMCLIENTE <> 'done'");
  ds.SetFiltered(true);
  int visits = 0;
  for (ds.First(); !ds.Eof(); ++visits) {
    ds.Edit();
    ds.SetField("NMCLIENTE", "done");
    ds.Post();
  }
  EXPECT_EQ(visits, 6);
  ds.SetFiltered(false);
  EXPECT_EQ(Walk(ds, "NMCLIENTE"), Texts(6, "done"));
}

TEST(Dataset, DeletingEveryRowOfAFilteredIndexedWalkKeepsTheOthers) {
  Dataset ds(Orders());
  ds.AddIndex("BYNAME", {"NMCLIENTE"}, true);
  ds.SetIndexName("BYNAME");
  ds.SetFilter("NMCLIENTE IN ('Ana', 'ana', 'Bruno')");
  ds.SetFiltered(true);
  for (ds.First(); !ds.Eof();) ds.Delete();
  ds.SetFiltered(false);
  EXPECT_EQ(Walk(ds), (Texts{"6", "1", "3"}));  // ANA, bia, carla
}

TEST(Dataset, IndexesOrderTheWalkStablyByFieldType) {
  Dataset ds(Orders());
  ds.AddIndex("NAME", {"NMCLIENTE"});
  ds.AddIndex("NAME_CI", {"nmcliente"}, true);
  ds.AddIndex("DATE", {"DTPEDIDO"});
  ds.AddIndex("SEQ_DESC", {"NRSEQ"}, false, true);
  ds.SetIndexName("NAME");
  EXPECT_EQ(Walk(ds, "NMCLIENTE"), (Texts{"ANA", "Ana", "Bruno", "ana", "bia", "carla"}));
  ds.SetIndexName("name_ci");  // ties keep storage order: Ana(2), ana(4), ANA(6)
  EXPECT_EQ(Walk(ds), (Texts{"2", "4", "6", "1", "5", "3"}));
  ds.SetIndexName("DATE");
  EXPECT_EQ(Walk(ds), (Texts{"6", "5", "4", "3", "2", "1"}));
  ds.SetIndexName("SEQ_DESC");
  EXPECT_EQ(Walk(ds), (Texts{"6", "5", "4", "3", "2", "1"}));
  ds.SetIndexName("");
  EXPECT_EQ(Walk(ds), (Texts{"1", "2", "3", "4", "5", "6"}));
  EXPECT_THROW(ds.SetIndexName("NOPE"), std::invalid_argument);
  EXPECT_EQ(ds.IndexName(), "");
}

TEST(Dataset, NumbersAndAccentsOrderAsValuesNotAsBytes) {
  DataPacket p;
  p.fields = {{"N", FieldType::Integer, 0}, {"T", FieldType::String, 10}};
  for (int n : {10, 2, -1, 100}) p.rows.push_back({Variant(n), Variant::Null()});
  p.rows[0][1] = Variant("Ágata");
  p.rows[1][1] = Variant("ágil");
  p.rows[2][1] = Variant("agua");
  Dataset ds(p);
  ds.AddIndex("N", {"N"});
  ds.AddIndex("T", {"T"}, true);
  ds.SetIndexName("N");
  EXPECT_EQ(Walk(ds, "N"), (Texts{"-1", "2", "10", "100"}));
  ds.SetIndexName("T");  // null first; Á folds to á, both after the plain letters
  EXPECT_EQ(Walk(ds, "T"), (Texts{"", "agua", "Ágata", "ágil"}));
}

TEST(Dataset, NotANumberSortsFirstInsteadOfBreakingTheSort) {
  DataPacket p;
  p.fields = {{"V", FieldType::Float, 0}};
  for (int i = 0; i < 100; ++i) {
    p.rows.push_back({Variant(i % 3 == 0 ? std::nan("") : static_cast<double>(100 - i))});
  }
  Dataset ds(p);
  ds.AddIndex("V", {"V"});
  ds.SetIndexName("V");
  int nans = 0;
  double previous = 0;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    const double v = ds.Field("V").AsFloat();
    if (std::isnan(v)) {
      EXPECT_EQ(ds.RecNo(), ++nans);
    } else {
      EXPECT_GT(v, previous);
      previous = v;
    }
  }
  EXPECT_EQ(nans, 34);
}

TEST(Dataset, PostPlacesRowsInIndexOrderAndFilterDecidesVisibility) {
  Dataset ds(Orders());
  ds.AddIndex("NAME", {"NMCLIENTE"}, true);
  ds.SetIndexName("NAME");
  ds.Append();
  ds.SetField("nrseq", "7");  // texts are converted to the field's type
  ds.SetField("NMCLIENTE", "Beto");
  EXPECT_EQ(ds.Field("NRSEQ"), Variant(7));
  ds.Post();
  EXPECT_EQ(ds.Text("NMCLIENTE"), "Beto");
  EXPECT_EQ(ds.RecNo(), 4);  // Ana ana ANA Beto bia ...
  ds.Edit();
  ds.SetField("NMCLIENTE", "Aaron");
  ds.Next();  // moving posts the pending change
  EXPECT_EQ(Walk(ds, "NMCLIENTE")[0], "Aaron");
  EXPECT_EQ(ds.RecordCount(), 7);

  ds.SetFilter("NMCLIENTE <> " + QuoteFilterValue("Zé"));
  ds.SetFiltered(true);
  ds.First();
  ds.Edit();
  ds.SetField("NMCLIENTE", "Zé");
  ds.Post();  // no longer visible: the cursor goes to the row that followed it
  EXPECT_EQ(ds.RecordCount(), 6);
  EXPECT_EQ(ds.Text("NMCLIENTE"), "Ana");
  EXPECT_FALSE(ds.Eof());
  ds.Append();
  ds.SetField("NMCLIENTE", "Zé");
  ds.Cancel();
  EXPECT_EQ(ds.Packet().rows.size(), 7u);
  EXPECT_THROW(ds.SetField("NRSEQ", 1), std::logic_error);
  ds.Edit();
  EXPECT_THROW(ds.SetField("NRSEQ", "x"), std::invalid_argument);
}

TEST(Dataset, FilterWithQuotesSelectsExactlyItsRowsAndCopiesThemInWalkOrder) {
  DataPacket p;
  p.fields = {{"NMRUA", FieldType::String, 40}, {"NR", FieldType::Integer, 0}};
  const char* streets[] = {"Rua d'Água", "Rua d", "Rua d'Água' OR 'x", "Rua d'Água", "Rua d''Água"};
  for (int i = 0; i < 5; ++i) p.rows.push_back({Variant(streets[i]), Variant(5 - i)});
  Dataset ds(p);
  ds.AddIndex("NR", {"NR"});
  ds.SetIndexName("NR");
  ds.SetFilter("NMRUA = " + QuoteFilterValue("Rua d'Água"));
  EXPECT_EQ(ds.RecordCount(), 5);  // not filtered yet
  ds.SetFiltered(true);
  EXPECT_EQ(ds.RecordCount(), 2);
  const DataPacket copy = ds.CopyFiltered();
  EXPECT_TRUE(ds.Eof());
  ASSERT_EQ(copy.rows.size(), 2u);
  EXPECT_EQ(copy.fields, p.fields);
  EXPECT_EQ(copy.rows[0][1], Variant(2));
  EXPECT_EQ(copy.rows[1][1], Variant(5));

  EXPECT_THROW(ds.SetFilter("NMRUA = 'x"), std::invalid_argument);
  EXPECT_EQ(ds.RecordCount(), 2);  // the previous filter stays
  EXPECT_THROW(ds.SetFilter("NOFIELD = 'x'"), std::out_of_range);
  EXPECT_EQ(ds.Filter(), "NMRUA = 'Rua d''Água'");
  EXPECT_EQ(ds.RecordCount(), 2);
}

TEST(Dataset, FieldsByNameAnyCaseAndFieldChanges) {
  Dataset ds(Orders());
  ds.First();
  EXPECT_EQ(ds.Field("nmCliente").AsText(), "bia");
  try {
    ds.Field("NMCLIENT");
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find("NMCLIENT"), std::string::npos);
  }
  ds.AddIndex("DATE", {"DTPEDIDO"});
  ds.SetIndexName("DATE");
  ds.AddField({"VRTOTAL", FieldType::Float, 0});
  EXPECT_TRUE(ds.Field("VRTOTAL").IsNull());
  ds.RemoveField("dtpedido");  // its index goes with it
  EXPECT_EQ(ds.IndexName(), "");
  EXPECT_FALSE(ds.HasField("DTPEDIDO"));
  EXPECT_EQ(ds.FieldCount(), 3);
  EXPECT_EQ(ds.Packet().rows[0].size(), 3u);
  EXPECT_THROW(ds.RemoveField("DTPEDIDO"), std::out_of_range);
  EXPECT_THROW(ds.AddField({"NRSEQ", FieldType::Integer, 0}), std::invalid_argument);
}

TEST(Dataset, LoadKeepsFilterAndIndexesAndRefusesBadPacketsWhole) {
  Dataset ds(Orders());
  ds.AddIndex("SEQ_DESC", {"NRSEQ"}, false, true);
  ds.AddIndex("DATE", {"DTPEDIDO"});
  ds.SetIndexName("SEQ_DESC");
  ds.SetFilter("NRSEQ IN (2, 3)");
  ds.SetFiltered(true);
  DataPacket next = Orders();
  next.fields.pop_back();
  for (auto& row : next.rows) row.pop_back();
  ds.LoadPacket(next);
  EXPECT_EQ(Walk(ds), (Texts{"3", "2"}));
  EXPECT_THROW(ds.SetIndexName("DATE"), std::invalid_argument);  // dropped with its field

  DataPacket bad = Orders();
  bad.rows[4].pop_back();
  EXPECT_THROW(ds.LoadPacket(bad), std::invalid_argument);
  bad = Orders();
  bad.rows[5][0] = Variant("six");
  EXPECT_THROW(ds.LoadPacket(bad), std::invalid_argument);
  EXPECT_EQ(ds.FieldCount(), 2);
  EXPECT_EQ(Walk(ds), (Texts{"3", "2"}));
}

// A filter stays on its fields by name while the fields move: a packet with another column
// order, a field removed before it, one added after it.
TEST(Dataset, FilterFollowsItsFieldsWhenTheyMove) {
  Dataset ds(Orders());
  ds.SetFilter("NMCLIENTE = 'ana'");
  ds.SetFiltered(true);
  EXPECT_EQ(Walk(ds), (Texts{"4"}));

  DataPacket reordered;
  reordered.fields = {{"NMCLIENTE", FieldType::String, 30}, {"NRSEQ", FieldType::Integer, 0}};
  reordered.rows = {{Variant("ana"), Variant(7)}, {Variant("bia"), Variant(8)}};
  ds.LoadPacket(reordered);
  EXPECT_EQ(Walk(ds), (Texts{"7"}));

  ds.RemoveField("NRSEQ");
  ds.AddField({"NRSEQ", FieldType::Integer, 0});
  ds.SetFiltered(false);
  ds.First();
  ds.Edit();
  ds.SetField("NRSEQ", Variant(9));
  ds.Post();
  ds.SetFiltered(true);
  EXPECT_EQ(Walk(ds), (Texts{"9"}));
}

TEST(Dataset, LocateAndFilesAndEmptying) {
  Dataset ds(Orders());
  EXPECT_TRUE(ds.Locate({"NMCLIENTE", "NRSEQ"}, {Variant("ana"), Variant("4")}));
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_FALSE(ds.Locate({"NMCLIENTE"}, {Variant("ANA ")}));
  EXPECT_EQ(ds.RecNo(), 4);

  const auto path = std::filesystem::temp_directory_path() /
                    ("zlv_dataset_test_" + std::to_string(std::random_device{}()) + ".cds");
  ds.SaveToFile(path);
  Dataset loaded;
  loaded.LoadFromFile(path);
  std::filesystem::remove(path);
  EXPECT_EQ(loaded.Packet(), Orders());

  loaded.EmptyRows();
  EXPECT_TRUE(loaded.IsEmpty());
  EXPECT_EQ(loaded.FieldCount(), 3);
  loaded.Clear();
  EXPECT_EQ(loaded.FieldCount(), 0);
}

TEST(Dataset, TenThousandRowsWalkAndAppendInIndexOrder) {
  Dataset ds(Orders());
  ds.EmptyRows();
  ds.AddIndex("NAME", {"NMCLIENTE", "NRSEQ"});
  ds.SetIndexName("NAME");
  for (int i = 0; i < 10000; ++i) {
    ds.Append();
    ds.SetField("NRSEQ", i);
    ds.SetField("NMCLIENTE", std::to_string(i % 97));
    ds.Post();
  }
  int64_t previous = -1, count = 0;
  std::string last;
  for (ds.First(); !ds.Eof(); ds.Next(), ++count) {
    const std::string name = ds.Text("NMCLIENTE");
    const int64_t seq = ds.Field("NRSEQ").AsInteger();
    ASSERT_TRUE(name > last || (name == last && seq > previous));
    last = name;
    previous = seq;
  }
  EXPECT_EQ(count, 10000);
}

}  // namespace
}  // namespace zlv
