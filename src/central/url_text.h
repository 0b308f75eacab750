// Texts of URLs: percent-encoded bytes and the parameters of a query.
#pragma once

#include <map>
#include <string>

namespace zlv {

// "%41" becomes "A"; a "%" not followed by two hex digits stays as it is.
std::string PercentDecoded(const std::string& text);

// "a=1&b=x%20y" as {a: "1", b: "x y"}; "+" is a space, as forms send it. A name given twice
// keeps its last value.
std::map<std::string, std::string> QueryParameters(const std::string& query);

}  // namespace zlv
