#include "central/http_server.h"

#include <algorithm>
#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <cctype>
#include <cstdio>
#include <random>
#include <type_traits>

#include "central/listen.h"
#include "central/tls_context.h"
#include "sync/protocol_json.h"

namespace zlv {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using asio::ip::tcp;
using error_code = boost::system::error_code;

HttpResponse ProblemResponse(const HttpProblem& problem, const std::string& request_id) {
  nlohmann::json body = {{"type", "/problems/" + problem.type},
                         {"title", problem.title},
                         {"status", problem.status},
                         {"detail", problem.detail},
                         {"request_id", request_id},
                         {"retryable", problem.retryable}};
  if (problem.pointer) {
    body["errors"] = {{{"pointer", *problem.pointer}, {"detail", problem.detail}}};
  }
  return {problem.status, "application/problem+json", DumpJsonText(body)};
}

struct HttpServer::Impl : std::enable_shared_from_this<HttpServer::Impl> {
  Impl(asio::io_context& io, Handler h, LogSink l, HttpServerLimits lim)
      : acceptor(io), handler(std::move(h)), log(std::move(l)), limits(lim) {}

  void Log(const std::string& line) const {
    if (log) log(line);
  }

  std::string NewRequestId() {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
  }

  void Accept();

  tcp::acceptor acceptor;
  Handler handler;
  LogSink log;
  HttpServerLimits limits;
  std::unique_ptr<asio::ssl::context> tls;  // null: plain HTTP
  int sessions = 0;
  std::mt19937_64 random{std::random_device{}()};
};

namespace {

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

// How long a closing HTTPS connection waits for the client's close_notify: a client that never
// sends it holds its place among the connections no longer than this.
constexpr std::chrono::seconds kTlsCloseGrace{2};

// One connection, plain or TLS: the same reading, answering and limits over either stream.
template <class Stream>
class HttpSession : public std::enable_shared_from_this<HttpSession<Stream>> {
  static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

 public:
  HttpSession(tcp::socket socket, std::shared_ptr<HttpServer::Impl> server)
      : stream_(Open(std::move(socket), *server)), server_(std::move(server)) {
    ++server_->sessions;
  }
  ~HttpSession() { --server_->sessions; }
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  void Start() {
    if constexpr (kTls) {
      // A client that connects and never finishes its handshake is closed like an idle one.
      beast::get_lowest_layer(stream_).expires_after(server_->limits.idle_timeout);
      stream_.async_handshake(
          asio::ssl::stream_base::server,
          [self = this->shared_from_this(), peer = Peer()](const error_code& ec) {
            if (ec) {
              self->server_->Log("tls handshake from " + peer + " failed: " + ec.message());
              return self->Close(false);
            }
            self->Read();
          });
    } else {
      Read();
    }
  }

 private:
  static Stream Open(tcp::socket socket, HttpServer::Impl& server) {
    if constexpr (kTls) {
      return Stream(std::move(socket), *server.tls);
    } else {
      return Stream(std::move(socket));
    }
  }

  std::string Peer() {
    error_code ec;
    const tcp::endpoint peer = beast::get_lowest_layer(stream_).socket().remote_endpoint(ec);
    return ec ? std::string("a client") : peer.address().to_string();
  }

  void Read() {
    parser_.emplace();
    body_limit_ = server_->limits.max_body;
    parser_->body_limit(body_limit_);
    parser_->header_limit(static_cast<std::uint32_t>(server_->limits.max_head));
    beast::get_lowest_layer(stream_).expires_after(server_->limits.idle_timeout);
    // The head first: the body's limit depends on the path.
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = this->shared_from_this()](const error_code& ec, std::size_t) {
                              if (ec) return self->OnRead(ec);
                              self->ReadBody();
                            });
  }

  void ReadBody() {
    const std::string target(parser_->get().target());
    const std::string& large = server_->limits.large_body_path;
    if (!large.empty() && target.substr(0, target.find('?')) == large) {
      body_limit_ = server_->limits.max_large_body;
      parser_->body_limit(body_limit_);
    }
    http::async_read(
        stream_, buffer_, *parser_,
        [self = this->shared_from_this()](const error_code& ec, std::size_t) { self->OnRead(ec); });
  }

  void OnRead(const error_code& ec) {
    const std::string id = server_->NewRequestId();
    if (ec) {
      // A request that cannot be read whole is answered when the fault is the client's, and
      // the connection is closed either way: the stream is no longer in step.
      HttpProblem problem;
      if (ec == http::error::body_limit) {
        problem = {413,
                   "body-too-large",
                   "Request body too large",
                   "the body exceeds " + std::to_string(body_limit_) + " bytes",
                   {}};
      } else if (ec == http::error::header_limit) {
        problem = {431,
                   "head-too-large",
                   "Request head too large",
                   "the request line and headers exceed " +
                       std::to_string(server_->limits.max_head) + " bytes",
                   {}};
      } else if (ec.category() == http::make_error_code(http::error::bad_target).category() &&
                 ec != http::error::end_of_stream && ec != http::error::partial_message) {
        problem = {400, "malformed-request", "Malformed request", ec.message(), {}};
      } else {
        return Close(false);
      }
      server_->Log("request " + id + ": " + std::to_string(problem.status) + " " + problem.detail);
      return Write(ProblemResponse(problem, id), id, false);
    }
    const http::request<http::string_body>& message = parser_->get();
    HttpRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    for (const auto& field : message) {
      std::string name(field.name_string());
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      request.headers[name] = std::string(field.value());
    }
    request.body = message.body();
    request.request_id = id;
    const bool keep_alive = message.keep_alive();
    HttpResponse response;
    try {
      response = server_->handler(request);
    } catch (const std::exception& e) {
      response = ProblemResponse({500, "internal", "Internal error", e.what(), {}, true}, id);
    }
    if (response.status >= 400) {
      server_->Log("request " + id + ": " + std::to_string(response.status) + " " + request.method +
                   " " + request.target);
    }
    Write(std::move(response), id, keep_alive);
  }

  void Write(HttpResponse response, const std::string& id, bool keep_alive) {
    response_ = {};
    response_.result(static_cast<unsigned>(response.status));
    response_.version(11);
    response_.set(http::field::content_type, response.content_type);
    response_.set("X-Request-Id", id);
    for (const auto& [name, value] : response.headers) response_.set(name, value);
    response_.body() = std::move(response.body);
    response_.keep_alive(keep_alive);
    response_.prepare_payload();
    http::async_write(
        stream_, response_,
        [self = this->shared_from_this(), keep_alive](const error_code& ec, std::size_t) {
          if (ec || !keep_alive) return self->Close(!ec);
          self->Read();
        });
  }

  // `graceful`: the stream is in step, so a TLS connection says close_notify first.
  void Close(bool graceful) {
    if constexpr (kTls) {
      if (graceful) {
        beast::get_lowest_layer(stream_).expires_after(kTlsCloseGrace);
        stream_.async_shutdown(
            [self = this->shared_from_this()](const error_code&) { self->Close(false); });
        return;
      }
    }
    auto& tcp_stream = beast::get_lowest_layer(stream_);
    error_code ignored;
    tcp_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    tcp_stream.close();
  }

  Stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::size_t body_limit_ = 0;  // of the request being read
  http::response<http::string_body> response_;
  std::shared_ptr<HttpServer::Impl> server_;
};

}  // namespace

void HttpServer::Impl::Accept() {
  acceptor.async_accept([self = shared_from_this()](const error_code& ec, tcp::socket socket) {
    if (!self->acceptor.is_open() || ec == asio::error::operation_aborted) return;
    if (!ec) {
      if (self->sessions >= self->limits.max_connections) {
        error_code ignored;
        socket.close(ignored);
      } else if (self->tls) {
        std::make_shared<HttpSession<TlsStream>>(std::move(socket), self)->Start();
      } else {
        std::make_shared<HttpSession<PlainStream>>(std::move(socket), self)->Start();
      }
    }
    self->Accept();
  });
}

HttpServer::HttpServer(asio::io_context& io, const std::string& bind_address, int port,
                       Handler handler, LogSink log, HttpServerLimits limits,
                       const std::optional<TlsFiles>& tls)
    : impl_(std::make_shared<Impl>(io, std::move(handler), std::move(log), limits)) {
  if (tls) impl_->tls = MakeServerTlsContext(tls->cert, tls->key);
  ListenOn(impl_->acceptor, bind_address, port);
}

HttpServer::~HttpServer() {
  error_code ignored;
  impl_->acceptor.close(ignored);
}

int HttpServer::port() const { return impl_->acceptor.local_endpoint().port(); }

void HttpServer::Start() { impl_->Accept(); }

void HttpServer::Stop() {
  error_code ignored;
  impl_->acceptor.close(ignored);
}

}  // namespace zlv
