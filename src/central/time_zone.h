// The stores' time zones, by their IANA names ("America/Sao_Paulo"), from the system's time
// zone database (Debian's tzdata under /usr/share/zoneinfo, or $TZDIR).
#pragma once

#include <string>

namespace zlv {

// True when the name is a zone of the system's database.
bool KnownTimeZone(const std::string& name);

}  // namespace zlv
