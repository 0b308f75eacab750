#include "sync/central_link.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "bizlib/https.h"
#include "platform/https_transport.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_rpc.h"
#include "sync/protocol_socket.h"

namespace zlv {

namespace {

class FramedLink : public CentralLink {
 public:
  explicit FramedLink(FramedConnection connection) : connection_(std::move(connection)) {}

  std::string Exchange(const std::string& request, std::chrono::milliseconds timeout) override {
    connection_.Send(request, timeout);
    return connection_.Receive(timeout);
  }
  bool IsOpen() const override { return connection_.IsOpen(); }

 private:
  FramedConnection connection_;
};

// The hub's message in a 401 answer, which is a JSON-RPC error; a text of our own otherwise.
std::string RefusalText(const std::string& body) {
  try {
    const nlohmann::json answer = nlohmann::json::parse(body);
    const auto& message = answer.at("error").at("message");
    if (message.is_string()) return CutText(message.get<std::string>(), kMaxErrorText);
  } catch (const nlohmann::json::exception&) {
  }
  return "acesso não autorizado: o servidor central recusou o token da instalação";
}

class HttpsLink : public CentralLink {
 public:
  HttpsLink(std::string url, const std::string& token, const std::string& proxy)
      : url_(std::move(url)),
        session_(HttpsSessionOptions{
            HttpsExtraCaFile(), proxy, {"Authorization: Bearer " + token}, kMaxFramePayload}) {}

  std::string Exchange(const std::string& request, std::chrono::milliseconds timeout) override {
    if (!open_) throw TransportError("não conectado ao servidor central");
    HttpsReply reply;
    try {
      reply = session_.Post(url_, request, "application/json", timeout);
    } catch (const HttpsError& e) {
      open_ = false;
      throw TransportError(e.what());
    }
    if (reply.status == 200) return std::move(reply.body);
    open_ = false;
    if (reply.status == 401) throw RemoteError(rpc_code::kNotAuthorized, RefusalText(reply.body));
    throw TransportError("o servidor central respondeu HTTP " + std::to_string(reply.status) +
                         " em " + url_);
  }
  bool IsOpen() const override { return open_; }

 private:
  std::string url_;
  platform::HttpsSession session_;
  bool open_ = true;
};

}  // namespace

std::unique_ptr<CentralLink> OpenFramedLink(const std::string& host, int port,
                                            std::chrono::milliseconds timeout) {
  return std::make_unique<FramedLink>(FramedConnection::Open(host, port, timeout));
}

std::unique_ptr<CentralLink> OpenHttpsLink(const std::string& url, const std::string& token,
                                           const std::string& proxy) {
  return std::make_unique<HttpsLink>(url, token, proxy);
}

}  // namespace zlv
