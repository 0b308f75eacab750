// The observation lines of one item of the delivery ticket, from its three observation texts
// (";"-separated): the observation list, the kitchen-station list and the typed observation.
// A typed observation repeats what the lists already said only in the pieces that are new.
//
// Pure; any thread.
#pragma once

#include <string>
#include <vector>

namespace zlv {

// in_combo: the item belongs to a combo, whose observations are indented under it.
std::vector<std::string> DeliveryObservationLines(bool in_combo, const std::string& list,
                                                  const std::string& station_list,
                                                  const std::string& typed);

}  // namespace zlv
