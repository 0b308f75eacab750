#include "print/ticket_lines.h"

#include "bizlib/printable.h"
#include "bizlib/text.h"

namespace zlv {

namespace {

constexpr std::string_view kBoldOn = "\x1B\x45";   // ESC E
constexpr std::string_view kBoldOff = "\x1B\x46";  // ESC F

}  // namespace

void TicketLines::BoldBeforeNext(bool on) { pending_ = on ? kBoldOn : kBoldOff; }

void TicketLines::Add(std::string_view line) {
  std::string text(pending_);
  text += BlankControls(line);
  lines_.push_back(std::move(text));
  pending_ = {};
}

void TicketLines::AddEmpty(int count) {
  for (int i = 0; i < count; ++i) Add("");
}

void TicketLines::AddRule() { Add(Replicate("-", width_)); }

void TicketLines::AddRuleUnlessLast() {
  if (!LastIsRule()) AddRule();
}

void TicketLines::AddCentred(std::string_view text) { Add(Centraliza(text, width_)); }

// A rule of the current width; with no width known a rule is empty and is never recognised.
bool TicketLines::LastIsRule() const {
  return width_ > 0 && !lines_.empty() && lines_.back() == Replicate("-", width_);
}

}  // namespace zlv
