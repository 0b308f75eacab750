#include "print/printer_config.h"

#include <gtest/gtest.h>

namespace zlv {
namespace {

TEST(ModelColumns, EveryModelOfTheTable) {
  const std::pair<const char*, int> table[] = {
      {"1", 36},  {"2", 42},  {"3", 48},  {"4", 48},  {"5", 42},  {"6", 42},  {"7", 40},
      {"8", 48},  {"9", 40},  {"10", 48}, {"11", 40}, {"12", 48}, {"13", 40}, {"14", 40},
      {"16", 40}, {"17", 42}, {"18", 47}, {"19", 42}, {"21", 40}, {"30", 47}};
  for (const auto& [code, columns] : table) EXPECT_EQ(ModelColumns(code), columns) << code;
}

TEST(ModelColumns, CodesOutsideTheTableAreNotGuessed) {
  for (const char* code : {"15", "20", "22", "25", "29", "31", "0", "01", " 1", "1 ", ""}) {
    EXPECT_EQ(ModelColumns(code), std::nullopt) << '"' << code << '"';
  }
}

TEST(ParamsImp, UnknownModelKeepsTheWidthAlreadyInUse) {
  int columns = 42;
  ParamsImp("15", columns);
  EXPECT_EQ(columns, 42);
  ParamsImp("", columns);
  EXPECT_EQ(columns, 42);
  ParamsImp("1", columns);
  EXPECT_EQ(columns, 36);
}

}  // namespace
}  // namespace zlv
