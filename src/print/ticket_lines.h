// TicketLines: a ticket being built, as a list of lines (UTF-8) and the width it is laid out
// in. Rule and centred lines take the width current when they are added, as the kitchen
// tickets change width item by item.
//
// Every line passes through here, and every text added has its control characters blanked
// (bizlib/printable.h): order texts reach the lines through many layouts, and this is the one
// point they all share. The only printer commands a ticket holds are the bold switches the
// layout asks for by name (BoldBeforeNext).
//
// Value type; one writer call owns one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zlv {

class TicketLines {
 public:
  // Empty lines that feed the paper past the cutter at the end of a kitchen ticket.
  static constexpr int kPaperFeedLines = 5;

  int width() const { return width_; }
  void set_width(int width) { width_ = width; }

  // ESC E / ESC F (bold on / off in ESC/P), written in front of the next line added, with no
  // line break of their own.
  void BoldBeforeNext(bool on);

  void Add(std::string_view line);
  void AddEmpty(int count = 1);
  void AddRule();            // "-" repeated to the width
  void AddRuleUnlessLast();  // a rule, unless the last line already is one
  void AddCentred(std::string_view text);
  void AddPaperFeed() { AddEmpty(kPaperFeedLines); }

  bool empty() const { return lines_.empty(); }
  bool LastIsRule() const;
  void Clear() {
    lines_.clear();
    pending_ = {};
  }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  std::string_view pending_;  // a bold switch waiting for the next line (a constant)
  int width_ = 0;
};

}  // namespace zlv
