#include "sync/protocol_json.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "data/data_packet.h"
#include "data/packet_json.h"

namespace zlv {

namespace {

constexpr const char* kDateTimeKey = "datetime";

Variant DateTimeFromJson(const nlohmann::json& value) {
  const auto& text = value.at(kDateTimeKey);
  if (value.size() != 1 || !text.is_string()) {
    throw ProtocolError("data-hora deve ser {\"datetime\":\"YYYY-MM-DDTHH:MM:SS\"}");
  }
  const auto parsed = DateTime::ParseIso(text.get_ref<const std::string&>());
  if (!parsed) {
    throw ProtocolError("data-hora inválida \"" + text.get<std::string>() + "\"");
  }
  return Variant(*parsed);
}

Variant DecodeValue(const nlohmann::json& value, int depth) {
  if (depth > kMaxJsonDepth) throw ProtocolError("valor aninhado além do limite");
  switch (value.type()) {
    case nlohmann::json::value_t::null:
      return Variant::Null();
    case nlohmann::json::value_t::boolean:
      return Variant(value.get<bool>());
    case nlohmann::json::value_t::number_integer:
      return Variant(value.get<int64_t>());
    case nlohmann::json::value_t::number_unsigned: {
      const auto number = value.get<uint64_t>();
      if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        throw ProtocolError("inteiro " + std::to_string(number) + " fora do intervalo");
      }
      return Variant(static_cast<int64_t>(number));
    }
    case nlohmann::json::value_t::number_float:
      return Variant(value.get<double>());
    case nlohmann::json::value_t::string:
      return Variant(value.get<std::string>());
    case nlohmann::json::value_t::array: {
      std::vector<Variant> items;
      items.reserve(value.size());
      for (const auto& item : value) items.push_back(DecodeValue(item, depth + 1));
      return Variant(std::move(items));
    }
    case nlohmann::json::value_t::object:
      if (LooksLikePacket(value)) {
        try {
          return Variant(PacketFromJsonValue(value));
        } catch (const std::exception& e) {
          throw ProtocolError(e.what());  // the packet decoder names the fault
        }
      }
      if (value.contains(kDateTimeKey)) return DateTimeFromJson(value);
      throw ProtocolError("objeto desconhecido (nem pacote de dados nem data-hora)");
    default:
      throw ProtocolError("valor JSON não suportado");
  }
}

}  // namespace

nlohmann::json VariantToJson(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Null:
      return nullptr;
    case Variant::Type::Text:
      return value.AsText();
    case Variant::Type::Integer:
      return value.AsInteger();
    case Variant::Type::Float: {
      const double number = value.AsFloat();
      if (!std::isfinite(number)) {
        throw std::invalid_argument("número não finito não pode ser enviado ao servidor central");
      }
      return number;
    }
    case Variant::Type::DateTime:
      return nlohmann::json{{kDateTimeKey, value.AsDateTime().ToPacketText()}};
    case Variant::Type::Boolean:
      return value.AsBoolean();
    case Variant::Type::Array: {
      auto array = nlohmann::json::array();
      for (const auto& item : value.AsArray()) array.push_back(VariantToJson(item));
      return array;
    }
    case Variant::Type::Packet:
      return PacketToJsonValue(value.AsPacket());
  }
  throw std::logic_error("unknown variant type");
}

Variant VariantFromJson(const nlohmann::json& value) { return DecodeValue(value, 0); }

nlohmann::json ParseJsonText(std::string_view text) {
  // The callback sees the depth before the value is built, so an over-deep message is refused
  // before the parser's own structures grow with it.
  const nlohmann::json::parser_callback_t limit_depth = [](int depth, nlohmann::json::parse_event_t,
                                                           nlohmann::json&) {
    if (depth > kMaxJsonDepth) throw ProtocolError("JSON aninhado além do limite");
    return true;
  };
  try {
    return nlohmann::json::parse(text.begin(), text.end(), limit_depth);
  } catch (const nlohmann::json::exception& e) {
    throw ProtocolError(std::string("JSON inválido: ") + e.what());
  }
}

std::string DumpJsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zlv
