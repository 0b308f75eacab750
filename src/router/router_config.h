// CarregaConfigRot: the store's router settings (adqRoteirizador), loaded into cdsRoteirizador
// at start-up and by each synchronisation run.
//
// Main thread (the store connection's thread).
#pragma once

#include <string>
#include <string_view>

#include "data/data_packet.h"
#include "store/services.h"

namespace zlv {

// The rows of adqRoteirizador for a branch and store: fields IDUTILINTROT and CDURLROT, one
// row for a known store. When the query fails the log gets "CarregaConfigRot: Erro -> " and
// the message, and the result is a packet with the same two fields and no row: loaded, it
// reads as a store that does not use the router, so start-up goes on without dispatching.
DataPacket CarregaConfigRot(Services& services, const std::string& cdfilial,
                            const std::string& cdloja);

// A field of the settings' first row as text; empty when there is no row.
std::string ConfigRotCampo(const DataPacket& config, std::string_view field);

}  // namespace zlv
