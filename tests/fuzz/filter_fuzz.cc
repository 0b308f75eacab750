// Fuzz target: the filter texts of the in-memory datasets. The first byte picks the check:
//  - even: the rest is a filter text, parsed and evaluated over rows of every field type; it
//    must filter or be refused with the documented errors, leaving the dataset usable;
//  - odd: the rest is a value as the data brings it (a sale number, a name with quotes), put
//    into filters through QuoteFilterValue; the filter must select exactly the rows holding
//    that value, whatever the value holds.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "data/data_packet.h"
#include "data/dataset.h"
#include "data/filter.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const zlv::DateTime kWhen = zlv::DateTime::FromCivil(2024, 5, 6, 7, 8, 9);

zlv::DataPacket EveryType() {
  using zlv::FieldType;
  using zlv::Variant;
  zlv::DataPacket packet;
  packet.fields = {{"CDFILIAL", FieldType::String, 4}, {"NRVENDAREST", FieldType::String, 10},
                   {"QTPROD", FieldType::Float, 0},    {"NRSEQ", FieldType::Integer, 0},
                   {"DTHR", FieldType::DateTime, 0},   {"IDOK", FieldType::Boolean, 0}};
  packet.rows = {
      {Variant("0001"), Variant("15"), Variant(1.5), Variant(int64_t{3}), Variant(kWhen),
       Variant(true)},
      {Variant("0002"), Variant("O'Neil"), Variant(-2.0), Variant(int64_t{-7}), Variant::Null(),
       Variant(false)},
      {Variant::Null(), Variant(""), Variant::Null(), Variant::Null(), Variant(kWhen),
       Variant::Null()},
  };
  return packet;
}

void ParseAndFilter(std::string_view text) {
  zlv::Dataset dataset(EveryType());
  try {
    dataset.SetFilter(std::string(text));
    dataset.SetFiltered(true);
  } catch (const std::invalid_argument&) {
    Check(!dataset.Filtered() && dataset.RecordCount() == 3);
    return;
  } catch (const std::out_of_range&) {
    // Names a field the dataset lacks: refused when switched on, previous state kept.
    Check(!dataset.Filtered());
    return;
  }
  int seen = 0;
  for (dataset.First(); !dataset.Eof(); dataset.Next()) ++seen;
  Check(seen == dataset.RecordCount() && seen <= 3);
  (void)dataset.CopyFiltered();
}

void QuoteValue(std::string_view value_text) {
  const std::string value(value_text);
  zlv::DataPacket packet;
  packet.fields = {{"NRVENDAREST", zlv::FieldType::String, 0}};
  for (const std::string& cell : {value, value + "'", std::string("x"), "'" + value}) {
    packet.rows.push_back({zlv::Variant(cell)});
  }
  const int expected = value == "x" ? 2 : 1;
  zlv::Dataset dataset(packet);
  dataset.SetFilter("NRVENDAREST = " + zlv::QuoteFilterValue(value));
  dataset.SetFiltered(true);
  Check(dataset.RecordCount() == expected);
  Check(dataset.Text("NRVENDAREST") == value);
  dataset.SetFilter("NRVENDAREST in (" + zlv::QuoteFilterValue(value) + "," +
                    zlv::QuoteFilterValue("x") + ") AND (NRVENDAREST <> 'y')");
  Check(dataset.RecordCount() == (value == "y" ? 1 : 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    ParseAndFilter(rest);
  } else {
    QuoteValue(rest);
  }
  return 0;
}
