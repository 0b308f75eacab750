// Fuzz target: order texts on a ticket. Whatever a customer typed (observations, names,
// addresses), the ticket file holds no printer command but the layout's own bold switches at
// the start of a line, and no line break but the ones between the layout's lines. The input is
// cut at 0xFF bytes into texts placed as the ticket layouts place them: after a label, centred,
// cut to the width, inside a bold block, as an item's observation lists and typed observation,
// then the delivery ticket's accent removal. The router message uses the same cleaning, checked
// on every text too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bizlib/printable.h"
#include "bizlib/text.h"
#include "bizlib/utf8.h"
#include "data/dataset.h"
#include "print/delivery_observations.h"
#include "print/print_files.h"
#include "print/ticket_lines.h"
#include "print/ticket_text.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr int kWidth = 42;

std::vector<std::string> Texts(std::string_view input) {
  std::vector<std::string> texts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= input.size(); ++i) {
    if (i == input.size() || static_cast<unsigned char>(input[i]) == 0xFF) {
      texts.emplace_back(input.substr(start, i - start));
      start = i + 1;
    }
  }
  while (texts.size() < 3) texts.emplace_back();
  return texts;
}

zlv::Dataset ItemWithObservations(const std::string& list, const std::string& typed) {
  zlv::DataPacket packet;
  packet.fields = {{"DSOBSITEMVENDA", zlv::FieldType::String, 0},
                   {"DSOBSPEDDIGITA", zlv::FieldType::String, 0}};
  packet.rows = {{zlv::Variant(list), zlv::Variant(typed)}};
  zlv::Dataset item(packet);
  item.First();
  return item;
}

// Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D are the C1 controls of the same value in Windows-1252.
bool ForeignByte(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

void CheckTicket(const std::vector<std::string>& lines) {
  const std::string bytes = zlv::TicketFileBytes(lines);
  std::size_t count = 0;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    Check(end != std::string::npos);
    std::string_view line(bytes.data() + start, end - start);
    if (line.starts_with("\x1B\x45") || line.starts_with("\x1B\x46")) line.remove_prefix(2);
    for (char c : line) Check(!ForeignByte(static_cast<unsigned char>(c)));
    ++count;
    start = end + 2;
  }
  Check(count == lines.size());
}

void CheckRouterText(const std::string& text) {
  const std::string clean = zlv::BlankControls(text);
  for (std::size_t pos = 0; pos < clean.size();) {
    const char32_t code_point = zlv::utf8::Next(clean, pos);
    Check(code_point == zlv::utf8::kInvalid || !zlv::IsControl(code_point));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> texts =
      Texts(std::string_view(reinterpret_cast<const char*>(data), size));
  zlv::TicketLines lines;
  lines.set_width(kWidth);
  for (const std::string& text : texts) {
    lines.Add("OBS........: " + text);
    lines.AddCentred(text);
    lines.Add(zlv::TextLeft("CONSUMIDOR.: " + text, kWidth));
    lines.BoldBeforeNext(true);
    lines.Add(text);
    lines.BoldBeforeNext(false);
    lines.AddRule();
    CheckRouterText(text);
  }
  zlv::ImprimeObservacoes(lines, ItemWithObservations(texts[0], texts[1]), true);
  for (std::string& line : zlv::DeliveryObservationLines(true, texts[0], texts[2], texts[1])) {
    lines.Add(line);
  }
  CheckTicket(lines.lines());
  std::vector<std::string> delivery;
  for (const std::string& line : lines.lines()) delivery.push_back(zlv::RemoveAcentos(line));
  CheckTicket(delivery);
  return 0;
}
