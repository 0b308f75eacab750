#include "central/url_text.h"

#include <sstream>

namespace zlv {

namespace {

int FromHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && FromHex(text[i + 1]) >= 0 &&
        FromHex(text[i + 2]) >= 0) {
      out += static_cast<char>(FromHex(text[i + 1]) * 16 + FromHex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> QueryParameters(const std::string& query) {
  std::map<std::string, std::string> parameters;
  std::stringstream in(query);
  std::string pair;
  while (std::getline(in, pair, '&')) {
    if (pair.empty()) continue;
    for (char& c : pair) c = c == '+' ? ' ' : c;
    const std::size_t equals = pair.find('=');
    parameters[PercentDecoded(pair.substr(0, equals))] =
        equals == std::string::npos ? "" : PercentDecoded(pair.substr(equals + 1));
  }
  return parameters;
}

}  // namespace zlv
