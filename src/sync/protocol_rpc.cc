#include "sync/protocol_rpc.h"

#include "sync/protocol_json.h"

namespace zlv {

namespace {

constexpr const char* kVersion = "2.0";

bool HasVersion(const nlohmann::json& message) {
  const auto it = message.find("jsonrpc");
  return it != message.end() && it->is_string() && it->get_ref<const std::string&>() == kVersion;
}

nlohmann::json Envelope(const nlohmann::json& id) {
  return nlohmann::json{{"jsonrpc", kVersion}, {"id", id}};
}

RemoteError ErrorFromJson(const nlohmann::json& error) {
  if (!error.is_object()) throw ProtocolError("erro da resposta não é um objeto");
  const auto code = error.find("code");
  const auto message = error.find("message");
  if (code == error.end() || !code->is_number_integer() || message == error.end() ||
      !message->is_string()) {
    throw ProtocolError("erro da resposta sem código inteiro ou mensagem");
  }
  return RemoteError(code->get<int>(), message->get<std::string>());
}

}  // namespace

std::string BuildRequest(int64_t id, std::string_view method, const std::vector<Variant>& params) {
  auto message = Envelope(id);
  message["method"] = method;
  auto& array = message["params"] = nlohmann::json::array();
  for (const auto& param : params) array.push_back(VariantToJson(param));
  return DumpJsonText(message);
}

Variant ParseResponse(std::string_view payload, int64_t id) {
  return ResponseResult(ParseJsonText(payload), id);
}

Variant ResponseResult(nlohmann::json message, int64_t id) {
  if (!message.is_object() || !HasVersion(message)) {
    throw ProtocolError("resposta não é um objeto JSON-RPC 2.0");
  }
  const auto result = message.find("result");
  const auto error = message.find("error");
  if ((result == message.end()) == (error == message.end())) {
    throw ProtocolError("resposta deve ter exatamente um de result e error");
  }
  const auto id_it = message.find("id");
  if (id_it == message.end()) throw ProtocolError("resposta sem id");
  if (error != message.end() && id_it->is_null()) {
    // The server could not read our request at all: the exchange is out of step.
    throw ProtocolError(std::string("requisição recusada pelo servidor central: ") +
                        ErrorFromJson(*error).what());
  }
  if (!id_it->is_number_integer() || id_it->get<int64_t>() != id) {
    throw ProtocolError("resposta de id " + id_it->dump() + " não corresponde à requisição " +
                        std::to_string(id));
  }
  if (error != message.end()) throw ErrorFromJson(*error);
  return VariantFromJson(std::move(*result));
}

RpcRequest ParseRequest(std::string_view payload) {
  nlohmann::json message;
  try {
    message = ParseJsonText(payload);
  } catch (const ProtocolError& e) {
    throw BadRequest(rpc_code::kParseError, e.what());
  }
  if (!message.is_object())
    throw BadRequest(rpc_code::kInvalidRequest, "requisição não é um objeto");
  RpcRequest request;
  const auto id = message.find("id");
  if (id == message.end() || !(id->is_number_integer() || id->is_string())) {
    throw BadRequest(rpc_code::kInvalidRequest, "requisição sem id inteiro ou texto");
  }
  request.id = *id;
  if (!HasVersion(message)) {
    throw BadRequest(rpc_code::kInvalidRequest, "jsonrpc deve ser \"2.0\"", request.id);
  }
  const auto method = message.find("method");
  if (method == message.end() || !method->is_string()) {
    throw BadRequest(rpc_code::kInvalidRequest, "requisição sem nome de método", request.id);
  }
  request.method = method->get<std::string>();
  const auto params = message.find("params");
  if (params != message.end()) {
    if (!params->is_array()) {
      throw BadRequest(rpc_code::kInvalidParams, "params deve ser uma lista posicional",
                       request.id);
    }
    try {
      request.params.reserve(params->size());
      for (auto& param : *params) request.params.push_back(VariantFromJson(std::move(param)));
    } catch (const ProtocolError& e) {
      throw BadRequest(rpc_code::kInvalidParams, e.what(), request.id);
    }
  }
  return request;
}

std::string BuildResultResponse(const nlohmann::json& id, const Variant& result) {
  auto message = Envelope(id);
  message["result"] = VariantToJson(result);
  return DumpJsonText(message);
}

std::string BuildErrorResponse(const nlohmann::json& id, int code, std::string_view message) {
  auto response = Envelope(id);
  response["error"] = {{"code", code}, {"message", CutText(message, kMaxErrorText)}};
  return DumpJsonText(response);
}

std::string CutText(std::string_view text, std::size_t max_chars) {
  std::size_t end = 0;
  for (std::size_t chars = 0; end < text.size(); ++end) {
    // A character starts at every byte but a UTF-8 continuation byte.
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && chars++ == max_chars) break;
  }
  if (end == text.size()) return std::string(text);
  return std::string(text.substr(0, end)) + " [... " + std::to_string(text.size()) + " bytes]";
}

}  // namespace zlv
