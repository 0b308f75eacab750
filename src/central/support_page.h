// SupportPage: the support page the hub's HTTP port serves beside its JSON API, for the people
// who look after the stores: which stores are dark, and where an order is on its road.
//
//  GET /                   the page (text/html)
//  GET /support/page.css   its style
//  GET /support/page.js    its script, which reads the JSON API with a support key
//
// The files live in src/central/support_page/ and are built into the executable, so that an
// installed hub serves them with nothing beside it. They need no key: they hold no data, and
// the script asks the operator for the key the API wants. Every answer carries a
// Content-Security-Policy that lets the page run only its own script and style and talk only
// to the hub that served it: the page shows texts customers typed, and a text that slipped in
// as markup could not run anything or send anything elsewhere.
#pragma once

#include <optional>

#include "central/http_server.h"

namespace zlv {

// The answer when the request is for one of the page's files, else nullopt (the API's).
std::optional<HttpResponse> SupportPage(const HttpRequest& request);

}  // namespace zlv
