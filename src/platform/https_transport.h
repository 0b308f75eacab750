// The system's HTTP(S) client, under RequisicaoHTTPS (bizlib/https.h), which decides the
// request's method, content type and time-out from its callers' arguments.
//
// One request: the address (http or https only; redirects are not followed), the method, the
// body (sent unless the method is GET), the Content-Type header and a time-out that covers the
// whole request, connection included. Certificates and host names are always verified (POSIX:
// libcurl against the system's CAs plus the extra CA file; Windows: WinHTTP against the
// computer's certificate store, where a private CA is installed). The reply body is returned
// with the HTTP status, whatever that status: what it means is for the caller. A transport
// failure, a reply larger than max_reply_bytes included,
// throws HttpsError naming the address and the cause.
//
// Thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zlv {

class HttpsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct HttpsRequest {
  std::string url;
  std::string method;  // "GET", "POST", or another verb sent with the body
  std::string body;
  std::string content_type;
  std::chrono::milliseconds timeout{10'000};
  std::size_t max_reply_bytes = 16 * 1024 * 1024;
  // A PEM file of CA certificates trusted beside the system's; empty: the system's only.
  // Windows has no such file: a private CA goes into the computer's certificate store, and a
  // request that names a file fails rather than trust less or more than was asked.
  std::string extra_ca_file;
};

struct HttpsReply {
  long status = 0;  // the HTTP status code of the reply (200, 404, 500, ...)
  std::string body;
};

// What a kept-alive session adds to every request of its own.
struct HttpsSessionOptions {
  std::string extra_ca_file;         // as HttpsRequest::extra_ca_file
  std::string proxy;                 // "host:port" (or a URL); empty: the system's settings
  std::vector<std::string> headers;  // "Name: value", sent with every request, never quoted
  std::size_t max_reply_bytes = 16 * 1024 * 1024;
};

namespace platform {

HttpsReply PerformHttpsRequest(const HttpsRequest& request);

// Requests to one server over one connection, kept open between them and made again when the
// server or the network closed it: a client that posts every few seconds pays the TCP and TLS
// handshakes once. The same rules as PerformHttpsRequest (verification, time-out, reply limit,
// failure texts); a failed request leaves the session usable for the next.
//
// One thread at a time.
class HttpsSession {
 public:
  explicit HttpsSession(HttpsSessionOptions options);
  ~HttpsSession();
  HttpsSession(const HttpsSession&) = delete;
  HttpsSession& operator=(const HttpsSession&) = delete;

  HttpsReply Post(const std::string& url, const std::string& body, const std::string& content_type,
                  std::chrono::milliseconds timeout);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The failure texts, the same on every platform.
inline std::string TransportErrorText(const HttpsRequest& request, const std::string& cause) {
  return "Erro na requisição HTTPS para " + request.url + ": " + cause;
}
// A certificate refused for its dates is almost always this computer's clock, not the server.
inline std::string CertificateDateText() {
  return "o certificado do servidor ainda não é válido ou já venceu: confira a data e a hora "
         "deste computador";
}
inline std::string ReplyTooLargeText(const HttpsRequest& request) {
  return "Resposta grande demais de " + request.url + " (mais de " +
         std::to_string(request.max_reply_bytes) + " bytes)";
}

}  // namespace platform
}  // namespace zlv
