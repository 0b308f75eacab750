// msgPadrao: the keyed message table of the ticket writers. Keys are matched without regard
// to case ("OPERADOR" finds the row "Operador"); an unknown key gives an empty text.
#pragma once

#include <string>
#include <string_view>

namespace zlv {

std::string Msg(std::string_view key);

}  // namespace zlv
