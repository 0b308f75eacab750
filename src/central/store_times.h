// The stores' clocks as the hub reads them: the present instant and a channel's RFC 3339 time,
// each as the store's civil time through its time zone, the way its rows keep times. The zone
// files are read once per zone.
#pragma once

#include "central/hub_api.h"

namespace zlv {

// On the system's clock (UTC) and zone files. Not thread-safe: the server's event loop.
StoreTimes SystemStoreTimes();

}  // namespace zlv
