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

std::optional<CentralEndpoint> LeIpServer(const ConfigKey& key) {
  const std::optional<std::string> value = key.Read("IpServer");
  if (!value) return std::nullopt;
  const std::size_t colon = value->find(':');
  if (colon == std::string::npos) return CentralEndpoint{*value, kDefaultCentralPort};
  const std::string text = Trim(std::string_view(*value).substr(colon + 1));
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < 1 ||
      number > 65535) {
    throw std::invalid_argument("IpServer \"" + *value + "\": a porta \"" + text +
                                "\" não é um número de 1 a 65535");
  }
  return CentralEndpoint{value->substr(0, colon), number};
}

}  // namespace zlv
