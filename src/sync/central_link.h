// CentralLink: how one request of the store protocol reaches the central server and its answer
// comes back, under CentralClient. Two links carry the same JSON-RPC messages:
//
// - framed TCP (docs/protocol.md): each payload in a frame on a connection of its own;
// - HTTPS: each payload POSTed to the hub's address (IpServer "https://host[:port][/path]")
//   with the installation's token as "Authorization: Bearer …", on one kept-alive
//   connection. HTTP 200 carries the answer; 401 is the hub refusing the token (a RemoteError
//   kNotAuthorized with the hub's message, after which the link is closed, as a revoked token
//   must not go on); any other status is a transport failure.
//
// A transport failure closes the link (IsOpen() false) and throws TransportError; the token
// never appears in a message. One thread at a time.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace zlv {

class CentralLink {
 public:
  virtual ~CentralLink() = default;
  // The answer's payload to one request's payload. Throws TransportError, ProtocolError (an
  // over-limit frame) or RemoteError (the token refused over HTTPS).
  virtual std::string Exchange(const std::string& request, std::chrono::milliseconds timeout) = 0;
  virtual bool IsOpen() const = 0;
};

// Connects. Throws TransportError.
std::unique_ptr<CentralLink> OpenFramedLink(const std::string& host, int port,
                                            std::chrono::milliseconds timeout);
// Connects at the first exchange. `proxy`: "host:port", empty for the system's settings.
std::unique_ptr<CentralLink> OpenHttpsLink(const std::string& url, const std::string& token,
                                           const std::string& proxy);

}  // namespace zlv
