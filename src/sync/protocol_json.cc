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

std::string Bound(std::size_t count, const char* what, std::size_t limit, const char* per) {
  return std::to_string(count) + " " + what + " excede o limite de " + std::to_string(limit) + " " +
         what + " " + per;
}

// Checked before any cell is converted, so an over-large packet costs no more than its parse.
void CheckPacketBounds(const nlohmann::json& packet) {
  const auto& fields = packet.at("fields");
  const auto& rows = packet.at("rows");
  if (fields.is_array() && fields.size() > kMaxPacketFields) {
    throw ProtocolError("pacote de dados com " +
                        Bound(fields.size(), "campos", kMaxPacketFields, "por pacote"));
  }
  if (rows.is_array() && rows.size() > kMaxPacketRows) {
    throw ProtocolError("pacote de dados com " +
                        Bound(rows.size(), "linhas", kMaxPacketRows, "por pacote"));
  }
}

Variant DecodeValue(nlohmann::json& value, int depth) {
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
      return Variant(std::move(value.get_ref<std::string&>()));
    case nlohmann::json::value_t::array: {
      std::vector<Variant> items;
      items.reserve(value.size());
      for (auto& item : value) {
        items.push_back(DecodeValue(item, depth + 1));
        item = nullptr;  // converted: only the new value holds it now
      }
      return Variant(std::move(items));
    }
    case nlohmann::json::value_t::object:
      if (LooksLikePacket(value)) {
        CheckPacketBounds(value);
        try {
          return Variant(PacketFromJsonValue(std::move(value)));
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

Variant VariantFromJson(nlohmann::json&& value) { return DecodeValue(value, 0); }

Variant VariantFromJson(const nlohmann::json& value) {
  nlohmann::json copy = value;
  return DecodeValue(copy, 0);
}

nlohmann::json ParseJsonText(std::string_view text) {
  // The callback sees every value as it is parsed, so a message over a bound is refused before
  // the parser's own structures grow with it.
  std::size_t values = 0;
  const nlohmann::json::parser_callback_t limit =
      [&values](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (depth > kMaxJsonDepth) throw ProtocolError("JSON aninhado além do limite");
        if ((event == Event::value || event == Event::key) && parsed.is_string() &&
            parsed.get_ref<const std::string&>().size() > kMaxTextBytes) {
          throw ProtocolError(
              "texto de " + std::to_string(parsed.get_ref<const std::string&>().size()) +
              " bytes excede o limite de " + std::to_string(kMaxTextBytes) + " bytes por texto");
        }
        if (event != Event::key && event != Event::object_end && event != Event::array_end &&
            ++values > kMaxMessageValues) {
          throw ProtocolError("mensagem com mais de " + std::to_string(kMaxMessageValues) +
                              " valores excede o limite de " + std::to_string(kMaxMessageValues) +
                              " valores por mensagem");
        }
        return true;
      };
  try {
    return nlohmann::json::parse(text.begin(), text.end(), limit);
  } catch (const nlohmann::json::exception& e) {
    throw ProtocolError(std::string("JSON inválido: ") + e.what());
  }
}

std::string DumpJsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zlv
