#include "print/ticket_lines.h"

#include "bizlib/text.h"

namespace zlv {

void TicketLines::AddEmpty(int count) {
  for (int i = 0; i < count; ++i) lines_.emplace_back();
}

void TicketLines::AddRule() { lines_.push_back(Replicate("-", width_)); }

void TicketLines::AddRuleUnlessLast() {
  if (!LastIsRule()) AddRule();
}

void TicketLines::AddCentred(std::string_view text) { lines_.push_back(Centraliza(text, width_)); }

// A rule of the current width; with no width known a rule is empty and is never recognised.
bool TicketLines::LastIsRule() const {
  return width_ > 0 && !lines_.empty() && lines_.back() == Replicate("-", width_);
}

}  // namespace zlv
