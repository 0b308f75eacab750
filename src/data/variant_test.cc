#include "data/variant.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "data/data_packet.h"

namespace zlv {
namespace {

TEST(Variant, EmptyAndNullReadAsBlankAndZero) {
  for (const Variant& v : {Variant(), Variant::Null()}) {
    EXPECT_EQ(v.AsText(), "");
    EXPECT_EQ(v.AsInteger(), 0);
    EXPECT_EQ(v.AsFloat(), 0);
    EXPECT_TRUE(v.AsDateTime().IsZero());
    EXPECT_FALSE(v.AsBoolean());
    EXPECT_TRUE(v.IsEmptyOrNull());
  }
  EXPECT_NE(Variant(), Variant::Null());
}

TEST(Variant, TextsReadAsNumbersOnlyWhenTheyAreNumbers) {
  EXPECT_EQ(Variant("42").AsInteger(), 42);
  EXPECT_EQ(Variant(" -7 ").AsInteger(), -7);
  EXPECT_EQ(Variant("12,5").AsFloat(), 12.5);
  EXPECT_EQ(Variant("12.5").AsFloat(), 12.5);
  EXPECT_EQ(Variant("1e3").AsFloat(), 1000);
  for (const char* bad : {"", "abc", "12a", "1.5", "99999999999999999999", "+-5", "+"}) {
    EXPECT_THROW(Variant(bad).AsInteger(), std::invalid_argument) << bad;
  }
  for (const char* bad : {"", "nan", "inf", "0x10", "1,2,3", "1e", ","}) {
    EXPECT_THROW(Variant(bad).AsFloat(), std::invalid_argument) << bad;
  }
  try {
    Variant("A12").AsInteger();
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("A12"), std::string::npos);
  }
}

TEST(Variant, ConversionsBetweenKinds) {
  EXPECT_EQ(Variant(2.75).AsInteger(), 2);
  EXPECT_EQ(Variant(-2.75).AsInteger(), -2);
  EXPECT_THROW(Variant(1e30).AsInteger(), std::invalid_argument);
  EXPECT_EQ(Variant(0.1).AsText(), "0.1");
  EXPECT_EQ(Variant(int64_t{-9007199254740993}).AsText(), "-9007199254740993");
  EXPECT_EQ(Variant(true).AsText(), "True");
  EXPECT_EQ(Variant(DateTime::FromCivil(2024, 1, 2, 3, 4, 5)).AsText(), "2024-01-02 03:04:05");
  EXPECT_EQ(Variant("2024-01-02 03:04:05").AsDateTime(), DateTime::FromCivil(2024, 1, 2, 3, 4, 5));
  EXPECT_THROW(Variant("02/01/2024").AsDateTime(), std::invalid_argument);
  for (const char* yes : {"S", "s", "T", "true", "TRUE", "1"})
    EXPECT_TRUE(Variant(yes).AsBoolean());
  for (const char* no : {"N", "F", "0", "", "sim"}) EXPECT_FALSE(Variant(no).AsBoolean());
}

TEST(Variant, ArraysAndPacketsAreSharedAndCompareByContents) {
  DataPacket p;
  p.fields.push_back({"A", FieldType::Integer, 0});
  p.rows.push_back({Variant(1)});
  const Variant a(std::vector<Variant>{Variant("x"), Variant(p)});
  const Variant b = a;
  EXPECT_EQ(&a.AsArray(), &b.AsArray());
  EXPECT_EQ(a, Variant(std::vector<Variant>{Variant("x"), Variant(p)}));
  EXPECT_EQ(a.AsArray()[1].AsPacket().rows[0][0].AsInteger(), 1);
  EXPECT_THROW(a.AsText(), std::invalid_argument);
  EXPECT_THROW(Variant("x").AsPacket(), std::invalid_argument);
  EXPECT_NE(Variant(1), Variant(1.0));
}

}  // namespace
}  // namespace zlv
