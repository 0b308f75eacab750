// Which sale a ticket writer reads: the one a download run just brought ("D", central numbers
// found in the store through NRVENDARESTAUX) or the store's own scheduled sale being released
// to the kitchen ("E"). The letters are how callers name the mode; inside, the enum.
#pragma once

#include <string_view>

namespace zlv {

enum class TicketMode { Download, Scheduled };

// Throws std::invalid_argument naming the letter given and the ones allowed.
TicketMode ParseTicketMode(std::string_view mode);

}  // namespace zlv
