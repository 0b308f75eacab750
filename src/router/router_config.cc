#include "router/router_config.h"

#include <exception>

#include "bizlib/log_text.h"
#include "database/named_statement.h"

namespace zlv {
namespace {

// The shape of LOJA's two router columns.
constexpr int kIdUtilIntRotSize = 1;
constexpr int kCdUrlRotSize = 100;

DataPacket ConfigRotVazia() {
  DataPacket empty;
  empty.fields = {{"IDUTILINTROT", FieldType::String, kIdUtilIntRotSize},
                  {"CDURLROT", FieldType::String, kCdUrlRotSize}};
  return empty;
}

}  // namespace

DataPacket CarregaConfigRot(Services& services, const std::string& cdfilial,
                            const std::string& cdloja) {
  try {
    NamedStatement adqRoteirizador(services.db, "adqRoteirizador");
    adqRoteirizador.SetParam("P_CDFILIAL", cdfilial);
    adqRoteirizador.SetParam("P_CDLOJA", cdloja);
    return adqRoteirizador.Packet();
  } catch (const std::exception& e) {
    services.log.GravaLog(std::string("CarregaConfigRot: Erro -> ") + LogText(e.what()));
    return ConfigRotVazia();
  }
}

std::string ConfigRotCampo(const DataPacket& config, std::string_view field) {
  const int index = config.FieldIndex(field);
  if (config.rows.empty() || index < 0) return {};
  return config.rows.front()[static_cast<size_t>(index)].AsText();
}

}  // namespace zlv
