#include "central/http_server.h"

#include <algorithm>
#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <cstdio>
#include <random>

#include "central/listen.h"
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
  int sessions = 0;
  std::mt19937_64 random{std::random_device{}()};
};

namespace {

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::shared_ptr<HttpServer::Impl> server)
      : stream_(std::move(socket)), server_(std::move(server)) {
    ++server_->sessions;
  }
  ~HttpSession() { --server_->sessions; }
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  void Read() {
    parser_.emplace();
    parser_->body_limit(server_->limits.max_body);
    parser_->header_limit(static_cast<std::uint32_t>(server_->limits.max_head));
    stream_.expires_after(server_->limits.idle_timeout);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](const error_code& ec, std::size_t) { self->OnRead(ec); });
  }

 private:
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
                   "the body exceeds " + std::to_string(server_->limits.max_body) + " bytes",
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
        return Close();
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
    response_.body() = std::move(response.body);
    response_.keep_alive(keep_alive);
    response_.prepare_payload();
    http::async_write(stream_, response_,
                      [self = shared_from_this(), keep_alive](const error_code& ec, std::size_t) {
                        if (ec || !keep_alive) return self->Close();
                        self->Read();
                      });
  }

  void Close() {
    error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
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
      } else {
        std::make_shared<HttpSession>(std::move(socket), self)->Read();
      }
    }
    self->Accept();
  });
}

HttpServer::HttpServer(asio::io_context& io, const std::string& bind_address, int port,
                       Handler handler, LogSink log, HttpServerLimits limits)
    : impl_(std::make_shared<Impl>(io, std::move(handler), std::move(log), limits)) {
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
