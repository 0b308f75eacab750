// HttpServer: the hub's HTTP/1.1 listener for the channels' JSON API, on the event loop that
// also serves the stores' framed connections (CentralServer), so that one thread multiplexes
// every kept-alive connection. Boost.Beast parses and writes the messages.
//
// Every request gets an id, answered in the X-Request-Id header and written in the log line of
// anything that went wrong, so that a channel quoting it leads support to the line. Errors are
// RFC 9457 problem details (application/problem+json): a stable type, a title, the detail, the
// offending field as a JSON pointer where there is one, and the request id.
//
// Bounded like the store listener: a request's head and body are capped, a connection idle
// between requests or slow to send one is closed, and the number of connections is capped.
//
// Given a certificate and its key, the port speaks HTTPS only: the TLS handshake comes first,
// under the same idle limit as a request, and a client that speaks plain HTTP there is closed
// unanswered.
//
// Lives on the event loop it is given; the handler runs there, one request at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/io_context.hpp>

namespace zlv {

struct HttpRequest {
  std::string method;                          // "GET", "POST", ...
  std::string target;                          // the path and query as sent
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string request_id;
};

struct HttpResponse {
  HttpResponse() = default;
  HttpResponse(int status, std::string content_type, std::string body)
      : status(status), content_type(std::move(content_type)), body(std::move(body)) {}

  int status = 200;
  std::string content_type = "application/json";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // besides the content type
};

// An RFC 9457 problem. `type` is the stable name ("not-found"), answered as the URI reference
// "/problems/not-found"; `pointer` names the offending field of the request's JSON body (in
// "errors": [{"pointer", "detail"}]); `retryable` tells a client whether the same request may
// succeed later (the hub busy or its database away) or never will as it stands.
struct HttpProblem {
  int status = 500;
  std::string type, title, detail;
  std::optional<std::string> pointer;
  bool retryable = false;
};

// The response that carries the problem for the request.
HttpResponse ProblemResponse(const HttpProblem& problem, const std::string& request_id);

struct HttpServerLimits {
  std::chrono::milliseconds idle_timeout{120'000};  // until a whole request has come
  std::size_t max_body = 1024 * 1024;
  std::size_t max_head = 16 * 1024;
  int max_connections = 500;
  // A path whose requests may carry a larger body (the store protocol's POST /rpc, whose
  // uploads are as large as a frame may be); empty: none.
  std::string large_body_path;
  std::size_t max_large_body = 0;
};

// The PEM files of an HTTPS listener.
struct TlsFiles {
  std::string cert;  // the server's certificate followed by its chain
  std::string key;   // its private key, unencrypted
};

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  using LogSink = std::function<void(const std::string&)>;

  // Binds and listens on address:port (0: a free port); accepting starts with Start(). Throws
  // std::system_error when the address cannot be bound, std::runtime_error naming the file
  // when the TLS files cannot be used.
  HttpServer(boost::asio::io_context& io, const std::string& bind_address, int port,
             Handler handler, LogSink log = {}, HttpServerLimits limits = {},
             const std::optional<TlsFiles>& tls = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  int port() const;
  void Start();
  // Stops accepting; connections end as their requests do. On the event loop's thread.
  void Stop();

  struct Impl;  // shared with the connections, which may outlive the server object

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace zlv
