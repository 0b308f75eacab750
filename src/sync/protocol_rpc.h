// The messages of the central server protocol: JSON-RPC 2.0 requests with positional params
// and their responses, built and read as frame payloads (docs/protocol.md). Pure functions,
// shared by the client, the reference server and the fuzzers.
//
// Thread-safe (no state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/variant.h"
#include "sync/protocol_frame.h"

namespace zlv {

// JSON-RPC error codes the reference server answers with.
namespace rpc_code {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kServerError = -32000;  // the method ran and failed
// The call was refused before it ran: no token, a token the hub does not know or revoked, or a
// branch or store that is not the installation's. Nothing was read or changed.
inline constexpr int kNotAuthorized = -32001;
}  // namespace rpc_code

// The first call on a framed connection of a store that has a token: ["<token>"]; over HTTPS
// the token travels in the Authorization header and the call has no arguments. A hub that
// does not know the method answers kMethodNotFound, which the store takes as "no tokens here".
inline constexpr const char* kAuthenticateMethod = "Autentica";

// The server answered a request with a JSON-RPC error: the call failed, the connection is
// still sound. what() is the server's message.
class RemoteError : public std::runtime_error {
 public:
  RemoteError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// A request the server cannot serve. `code` is the JSON-RPC error code to answer with.
class BadRequest : public ProtocolError {
 public:
  BadRequest(int code, const std::string& message, nlohmann::json id = nullptr)
      : ProtocolError(message), code_(code), id_(std::move(id)) {}
  int code() const { return code_; }
  const nlohmann::json& id() const { return id_; }

 private:
  int code_;
  nlohmann::json id_;
};

struct RpcRequest {
  nlohmann::json id;  // number or string, echoed in the response
  std::string method;
  std::vector<Variant> params;
};

// Client side.
std::string BuildRequest(int64_t id, std::string_view method, const std::vector<Variant>& params);
// The result of the response to request `id`. Throws RemoteError for an error response to it,
// ProtocolError for anything else that is not exactly such a response (wrong id included).
Variant ParseResponse(std::string_view payload, int64_t id);
// The same for a payload already parsed (ParseJsonText), which lets the caller release the
// payload before the values are built; the message is consumed.
Variant ResponseResult(nlohmann::json message, int64_t id);

// Server side. ParseRequest throws BadRequest (parse error or invalid request).
RpcRequest ParseRequest(std::string_view payload);
std::string BuildResultResponse(const nlohmann::json& id, const Variant& result);
// The message is cut to kMaxErrorText characters (CutText): an error that quotes the request
// can never make the answer over-long.
std::string BuildErrorResponse(const nlohmann::json& id, int code, std::string_view message);

// Request text quoted in an answer or a log line: the first `max_chars` characters of UTF-8
// text and, when there was more, " [... N bytes]".
inline constexpr std::size_t kMaxEchoedText = 200;
inline constexpr std::size_t kMaxErrorText = 1000;
std::string CutText(std::string_view text, std::size_t max_chars = kMaxEchoedText);

}  // namespace zlv
