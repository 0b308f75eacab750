#include "host/parameters.h"

#include <charconv>

#include "bizlib/text.h"
#include "platform/config_key.h"

namespace zlv {

namespace {

[[noreturn]] void Refuse(const std::string& parameter, const std::string& why) {
  throw ParameterError("Parâmetro \"" + parameter + "\" inválido: " + why);
}

void SplitParameter(const std::string& parameter, ParameterSlots& slots) {
  std::string_view rest = parameter;
  std::size_t slot = 0;
  while (!rest.empty()) {
    const std::size_t end = rest.find('_');
    // Without its closing "_" the last piece would never be consumed.
    if (end == std::string_view::npos) Refuse(parameter, "a última parte não termina com \"_\"");
    if (slot == slots.size()) {
      Refuse(parameter, "mais de " + std::to_string(slots.size()) + " partes");
    }
    slots[slot++] = Variant(std::string(rest.substr(0, end)));
    rest.remove_prefix(end + 1);
  }
  if (slots[0].AsText().empty() || slots[1].AsText().empty()) {
    Refuse(parameter, "filial ou caixa vazio");
  }
}

void ReadParameterFile(const std::filesystem::path& file, Dataset& cdsParametros,
                       ParameterSlots& slots) {
  cdsParametros.LoadFromFile(file);
  cdsParametros.First();
  if (cdsParametros.IsEmpty()) throw ParameterError(file.string() + " não tem registro");
  slots[0] = Variant(cdsParametros.Text("CDFILIAL"));
  slots[1] = Variant(cdsParametros.Text("CDCAIXA"));
  if (slots[0].AsText().empty() || slots[1].AsText().empty()) {
    throw ParameterError(file.string() + ": CDFILIAL ou CDCAIXA vazio");
  }
}

}  // namespace

void LeParametros(const std::string& first_parameter, const std::filesystem::path& exe_folder,
                  Dataset& cdsParametros, ParameterSlots& slots) {
  if (!EmptyString(first_parameter)) {
    SplitParameter(first_parameter, slots);
    return;
  }
  const std::filesystem::path file = exe_folder / kParameterFileName;
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) ReadParameterFile(file, cdsParametros, slots);
}

namespace {

int PortOf(const std::string& value, std::string_view text) {
  const std::string port = Trim(text);
  int number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() || number < 1 ||
      number > 65535) {
    throw std::invalid_argument("IpServer \"" + value + "\": a porta \"" + port +
                                "\" não é um número de 1 a 65535");
  }
  return number;
}

// "https://host[:port][/path]": the hub's store protocol over HTTPS, at /rpc unless a path is
// given. The host and port are kept for the log's messages.
CentralEndpoint HttpsEndpoint(const std::string& value) {
  const std::string_view rest = std::string_view(value).substr(std::string_view("https://").size());
  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  // An IPv6 address is written in brackets: its colons are not the port's.
  const std::size_t bracket = authority.rfind(']');
  const std::size_t colon = authority.find(':', bracket == std::string_view::npos ? 0 : bracket);
  CentralEndpoint endpoint;
  endpoint.host = std::string(authority.substr(0, colon));
  endpoint.port =
      colon == std::string_view::npos ? 443 : PortOf(value, authority.substr(colon + 1));
  if (endpoint.host.empty() || endpoint.host == "[]") {
    throw std::invalid_argument("IpServer \"" + value + "\": falta o nome do servidor");
  }
  endpoint.url = value;
  if (slash == std::string_view::npos || slash + 1 == rest.size()) {
    while (endpoint.url.back() == '/') endpoint.url.pop_back();
    endpoint.url += "/rpc";
  }
  return endpoint;
}

}  // namespace

std::optional<CentralEndpoint> LeIpServer(const ConfigKey& key) {
  const std::optional<std::string> value = key.Read("IpServer");
  if (!value) return std::nullopt;
  CentralEndpoint endpoint;
  const std::string upper = UpperCase(*value);
  if (upper.starts_with("HTTPS://")) {
    endpoint = HttpsEndpoint(*value);
  } else if (upper.find("://") != std::string::npos) {
    // Plain http would carry the installation's token and the customers' data in clear.
    throw std::invalid_argument("IpServer \"" + *value +
                                "\": só https:// ou host:porta (TCP) são aceitos");
  } else {
    const std::size_t colon = value->find(':');
    endpoint.host = value->substr(0, colon);
    endpoint.port =
        colon == std::string::npos ? kDefaultCentralPort : PortOf(*value, value->substr(colon + 1));
  }
  endpoint.token = key.Read("Token").value_or("");
  endpoint.proxy = key.Read("Proxy").value_or("");
  return endpoint;
}

}  // namespace zlv
