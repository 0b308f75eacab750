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

namespace {

// The library's own document builder, with the bounds checked at each value as it is parsed,
// so a message over a bound is refused before the document grows with it. (The library's
// callback parser would do the same but, at the end of every object, walks the whole array
// holding it: an array of 160,000 objects took seconds.)
class BoundedDocumentBuilder : public nlohmann::detail::json_sax_dom_parser<nlohmann::json> {
  using Base = nlohmann::detail::json_sax_dom_parser<nlohmann::json>;
  using json = nlohmann::json;

 public:
  explicit BoundedDocumentBuilder(json& result) : Base(result, /*allow_exceptions=*/true) {}

  bool null() { return Value() && Base::null(); }
  bool boolean(bool value) { return Value() && Base::boolean(value); }
  bool number_integer(json::number_integer_t value) {
    return Value() && Base::number_integer(value);
  }
  bool number_unsigned(json::number_unsigned_t value) {
    return Value() && Base::number_unsigned(value);
  }
  bool number_float(json::number_float_t value, const json::string_t& text) {
    return Value() && Base::number_float(value, text);
  }
  bool string(json::string_t& value) { return Text(value) && Value() && Base::string(value); }
  bool key(json::string_t& value) { return Text(value) && Base::key(value); }
  bool start_object(std::size_t size) { return Enter() && Base::start_object(size); }
  bool end_object() {
    --depth_;
    return Base::end_object();
  }
  bool start_array(std::size_t size) { return Enter() && Base::start_array(size); }
  bool end_array() {
    --depth_;
    return Base::end_array();
  }

 private:
  bool Value() {
    if (++values_ > kMaxMessageValues) {
      throw ProtocolError("mensagem com mais de " +
                          Bound(kMaxMessageValues, "valores", kMaxMessageValues, "por mensagem"));
    }
    return true;
  }
  static bool Text(const json::string_t& text) {
    if (text.size() > kMaxTextBytes) {
      throw ProtocolError("texto de " + Bound(text.size(), "bytes", kMaxTextBytes, "por texto"));
    }
    return true;
  }
  bool Enter() {
    if (++depth_ > kMaxJsonDepth) throw ProtocolError("JSON aninhado além do limite");
    return Value();
  }

  std::size_t values_ = 0;
  int depth_ = 0;
};

}  // namespace

nlohmann::json ParseJsonText(std::string_view text) {
  nlohmann::json result;
  BoundedDocumentBuilder builder(result);
  try {
    nlohmann::json::sax_parse(text.begin(), text.end(), &builder);
  } catch (const nlohmann::json::exception& e) {
    throw ProtocolError(std::string("JSON inválido: ") + e.what());
  }
  return result;
}

std::string DumpJsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zlv
