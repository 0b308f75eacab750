#include "print/ticket_mode.h"

#include <stdexcept>
#include <string>

namespace zlv {

TicketMode ParseTicketMode(std::string_view mode) {
  if (mode == "D") return TicketMode::Download;
  if (mode == "E") return TicketMode::Scheduled;
  throw std::invalid_argument("modo de impressão \"" + std::string(mode) +
                              "\" inválido; aceitos: \"D\", \"E\"");
}

}  // namespace zlv
