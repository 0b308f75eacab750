#include "data/data_packet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "data/packet_json.h"

namespace zlv {
namespace {

DataPacket Sample() {
  DataPacket p;
  p.fields = {{"CDFILIAL", FieldType::String, 4},
              {"NRSEQ", FieldType::Integer, 10},
              {"VRPRECO", FieldType::Float, 0},
              {"DTENTREGA", FieldType::DateTime, 0},
              {"IDATIVO", FieldType::Boolean, 0}};
  p.rows.push_back({Variant("0001"), Variant(int64_t{9007199254740993}), Variant(12.345),
                    Variant(DateTime::FromCivil(2024, 2, 29, 18, 30, 15, 250)), Variant(true)});
  p.rows.push_back({Variant("Pão \"já\" d'água\n"), Variant(-1), Variant(-0.5),
                    Variant(DateTime::FromCivil(1899, 12, 30)), Variant(false)});
  p.rows.push_back(
      {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()});
  return p;
}

std::string ErrorOf(std::string_view json) {
  try {
    PacketFromJson(json);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(DataPacket, JsonRoundTripKeepsEveryTypeNullsAndMilliseconds) {
  const DataPacket p = Sample();
  const std::string json = PacketToJson(p);
  EXPECT_NE(json.find("\"2024-02-29T18:30:15.250\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"1899-12-30T00:00:00\""), std::string::npos) << json;
  EXPECT_EQ(PacketFromJson(json), p);
  EXPECT_EQ(PacketFromJsonValue(PacketToJsonValue(p)), p);
}

TEST(DataPacket, FieldIndexIgnoresCase) {
  const DataPacket p = Sample();
  EXPECT_EQ(p.FieldIndex("dtEntrega"), 3);
  EXPECT_EQ(p.FieldIndex("DTENTREG"), -1);
}

TEST(DataPacket, MalformedPacketsAreRejectedNamingTheFault) {
  const std::string f =
      R"("fields":[{"name":"A","type":"integer"},{"name":"D","type":"datetime"}])";
  struct Case {
    std::string json, expected;
  } cases[] = {
      {"[]", "not a JSON object"},
      {R"({"rows":[]})", "\"fields\""},
      {"{" + f + "}", "\"rows\""},
      {R"({"fields":[{"name":"A","type":"money"}],"rows":[]})", "unknown type \"money\""},
      {R"({"fields":[{"type":"string"}],"rows":[]})", "has no name"},
      {R"({"fields":[{"name":"A","type":"string","size":-1}],"rows":[]})", "bad size"},
      {R"({"fields":[{"name":"A","type":"string"},{"name":"a","type":"string"}],"rows":[]})",
       "appears twice"},
      {"{" + f + R"(,"rows":[[1]]})", "row 1 has 1 cells for 2 fields"},
      {"{" + f + R"(,"rows":[[1,null],[1,null,3]]})", "row 2 has 3 cells"},
      {"{" + f + R"(,"rows":[{"A":1}]})", "row 1 is not a list"},
      {"{" + f + R"(,"rows":[["1",null]]})", "row 1, field A: expected an integer"},
      {"{" + f + R"(,"rows":[[1.5,null]]})", "row 1, field A: expected an integer"},
      {"{" + f + R"(,"rows":[[1,"2024-02-30T00:00:00"]]})",
       "row 1, field D: bad date-time \"2024-02-30T00:00:00\""},
      {"{" + f + R"(,"rows":[[1,45000.5]]})", "field D: expected a date-time"},
      {R"({"fields":[{"name":"B","type":"boolean"}],"rows":[["S"]]})", "expected true or false"},
      {R"({"fields":[], "rows":)", "not valid JSON"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(ErrorOf(c.json).find(c.expected), std::string::npos)
        << c.json << " -> " << ErrorOf(c.json);
  }
}

// Every prefix of a valid packet either fails to decode or is the whole packet: a cut-off
// download or file never yields some of the rows.
TEST(DataPacket, TruncatedJsonNeverYieldsPartOfThePacket) {
  const DataPacket p = Sample();
  const std::string json = PacketToJson(p);
  for (size_t n = 0; n < json.size(); ++n) {
    try {
      EXPECT_EQ(PacketFromJson(std::string_view(json).substr(0, n)), p) << n;
    } catch (const std::runtime_error&) {
    }
  }
  EXPECT_EQ(PacketFromJson(json), p);
  // Nesting far deeper than any packet is refused, not a stack overflow.
  EXPECT_THROW(PacketFromJson(std::string(100000, '[') + std::string(100000, ']')),
               std::runtime_error);
}

TEST(DataPacket, EncodingRefusesValuesJsonCannotCarry) {
  DataPacket p;
  p.fields = {{"F", FieldType::Float, 0}};
  p.rows = {{Variant(std::numeric_limits<double>::infinity())}};
  EXPECT_THROW(PacketToJson(p), std::invalid_argument);
  p.fields = {{"S", FieldType::String, 1}};
  p.rows = {{Variant("\xff")}};
  EXPECT_THROW(PacketToJson(p), std::runtime_error);
  p.rows = {{Variant("a"), Variant("b")}};
  EXPECT_THROW(PacketToJson(p), std::invalid_argument);
}

TEST(DataPacket, CoerceToFieldConvertsOrNamesTheField) {
  const FieldDef n{"NRSEQ", FieldType::Integer, 0};
  EXPECT_EQ(CoerceToField(Variant("12"), n), Variant(12));
  EXPECT_EQ(CoerceToField(Variant(3.0), n), Variant(3));
  EXPECT_TRUE(CoerceToField(Variant(""), n).IsNull());
  EXPECT_TRUE(CoerceToField(Variant(), n).IsNull());
  EXPECT_THROW(CoerceToField(Variant(3.5), n), std::invalid_argument);
  try {
    CoerceToField(Variant("x1"), n);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("NRSEQ"), std::string::npos) << e.what();
  }
  EXPECT_EQ(CoerceToField(Variant(7), {"S", FieldType::String, 4}), Variant("7"));
  EXPECT_EQ(CoerceToField(Variant("2024-01-01"), {"D", FieldType::DateTime, 0}),
            Variant(DateTime::FromCivil(2024, 1, 1)));
}

TEST(DataPacket, FilesRoundTripAndReplaceWholly) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zlv_data_packet_test_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "p.cds";
  SavePacketFile(path, Sample());
  EXPECT_EQ(LoadPacketFile(path), Sample());
  DataPacket small;
  small.fields = {{"X", FieldType::String, 1}};
  SavePacketFile(path, small);
  EXPECT_EQ(LoadPacketFile(path), small);
  EXPECT_FALSE(std::filesystem::exists(dir / "p.cds.tmp"));
  std::ofstream(path) << "{\"fields\":[";
  try {
    LoadPacketFile(path);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("p.cds"), std::string::npos) << e.what();
  }
  EXPECT_THROW(LoadPacketFile(dir / "absent.cds"), std::runtime_error);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zlv
