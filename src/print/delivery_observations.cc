#include "print/delivery_observations.h"

#include <string_view>

#include "bizlib/text.h"

namespace zlv {

namespace {

bool Skipped(const std::string& text) { return EmptyString(text) || text == ";"; }

// The selections write " a; b;" (a blank before, a ";" after every piece): drop the blank and
// the final separator, so the text reads "a;b".
std::string Clean(std::string text) {
  if (text.find(';') == std::string::npos) return text;
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (!text.empty() && text.back() == ';') {
    text.pop_back();
  } else if (text.size() >= 2 && text[text.size() - 2] == ';') {
    text.erase(text.size() - 2);
  }
  return text;
}

// The pieces of typed that are not already in printed, joined again with ";".
std::string NewPieces(const std::string& typed, const std::string& printed) {
  const std::string haystack = printed + ";";
  const std::string pieces = typed + ";";
  std::string kept;
  for (size_t start = 0; start < pieces.size();) {
    size_t end = pieces.find(';', start);
    std::string piece = pieces.substr(start, end - start + 1);  // with its ";"
    if (haystack.find(piece) == std::string::npos) kept += piece;
    start = end + 1;
  }
  if (!kept.empty()) kept.pop_back();
  return kept;
}

// One line per piece: the bullet, then " * " on the lines that follow; every line but the last
// keeps its ";".
void AddGroup(std::vector<std::string>& lines, bool in_combo, std::string_view text) {
  std::string_view bullet = in_combo ? "   * " : " * ";
  size_t start = 0;
  while (true) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) {
      lines.push_back(std::string(bullet) + std::string(text.substr(start)));
      return;
    }
    lines.push_back(std::string(bullet) + std::string(text.substr(start, end - start + 1)));
    bullet = " * ";
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> DeliveryObservationLines(bool in_combo, const std::string& list,
                                                  const std::string& station_list,
                                                  const std::string& typed) {
  std::vector<std::string> lines;
  std::string printed;
  for (const std::string* source : {&list, &station_list}) {
    if (Skipped(*source)) continue;
    printed = Clean(*source);
    AddGroup(lines, in_combo, printed);
  }
  if (!Skipped(typed)) {
    const std::string clean = Clean(typed);
    if (clean != printed) {
      // Nothing new typed: no empty bullet line.
      const std::string rest = NewPieces(clean, printed);
      if (!rest.empty()) AddGroup(lines, in_combo, rest);
    }
  }
  return lines;
}

}  // namespace zlv
