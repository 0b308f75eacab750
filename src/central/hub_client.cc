#include "central/hub_client.h"

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <stdexcept>
#include <type_traits>

namespace zlv {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

// Answers larger than this are no answer of the hub's API.
constexpr std::size_t kMaxAnswerBody = 8 * 1024 * 1024;

// One request: resolve, connect, (for https) the TLS handshake with the hub's certificate
// and name verified, write, read, all before one deadline. The stream's timer only bounds
// asynchronous operations, so the exchange runs as a chain of them on a private event loop.
template <typename Stream>
http::response<http::string_body> Exchange(asio::io_context& io, Stream& stream,
                                           const std::string& host, const std::string& port,
                                           const http::request<http::string_body>& request,
                                           std::chrono::milliseconds timeout) {
  constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;
  asio::ip::tcp::resolver resolver(io);
  beast::tcp_stream& tcp = beast::get_lowest_layer(stream);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(kMaxAnswerBody);
  beast::error_code failure;
  const char* step = "resolving";

  const auto fail = [&](const char* where, beast::error_code ec) {
    step = where;
    failure = ec;
  };
  const auto send = [&] {
    http::async_write(stream, request, [&](beast::error_code ec, std::size_t) {
      if (ec) return fail("sending", ec);
      http::async_read(stream, buffer, parser, [&](beast::error_code ec, std::size_t) {
        if (ec) return fail("reading the answer", ec);
        beast::error_code ignored;
        tcp.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
      });
    });
  };
  tcp.expires_after(timeout);
  const asio::steady_timer::time_point deadline = asio::steady_timer::clock_type::now() + timeout;
  resolver.async_resolve(host, port, [&](beast::error_code ec, auto endpoints) {
    if (ec) return fail("resolving", ec);
    // Resolution does not go through the stream, so it takes what remains of the time-out.
    tcp.expires_at(deadline);
    tcp.async_connect(endpoints, [&](beast::error_code ec, auto) {
      if (ec) return fail("connecting", ec);
      if constexpr (kTls) {
        stream.async_handshake(asio::ssl::stream_base::client, [&](beast::error_code ec) {
          if (ec) return fail("TLS handshake", ec);
          send();
        });
      } else {
        send();
      }
    });
  });
  // The resolver has no deadline of its own: the event loop stops at the stream's.
  io.run_until(deadline + std::chrono::milliseconds(100));
  if (!io.stopped()) {
    resolver.cancel();
    tcp.close();
    io.run();
    if (!failure) failure = beast::error::timeout;
  }
  if (failure) {
    throw std::runtime_error(std::string(step) + ": " + failure.message());
  }
  return parser.release();
}

http::response<http::string_body> ExchangePlain(const std::string& host, const std::string& port,
                                                const http::request<http::string_body>& request,
                                                std::chrono::milliseconds timeout) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  return Exchange(io, stream, host, port, request, timeout);
}

// The hub's certificate must chain to the system's CAs (or the extra file's) and name the host.
http::response<http::string_body> ExchangeTls(const std::string& host, const std::string& port,
                                              const std::string& ca_file,
                                              const http::request<http::string_body>& request,
                                              std::chrono::milliseconds timeout) {
  asio::ssl::context context(asio::ssl::context::tls_client);
  context.set_default_verify_paths();
  if (!ca_file.empty()) context.load_verify_file(ca_file);
  context.set_verify_mode(asio::ssl::verify_peer);
  asio::io_context io;
  beast::ssl_stream<beast::tcp_stream> stream(io, context);
  if (!SSL_set_tlsext_host_name(stream.native_handle(), host.c_str())) {
    throw std::runtime_error("TLS: cannot name the host " + host);
  }
  stream.set_verify_callback(asio::ssl::host_name_verification(host));
  return Exchange(io, stream, host, port, request, timeout);
}

}  // namespace

HubClient::HubClient(const std::string& url, std::string key, std::chrono::milliseconds timeout,
                     std::string ca_file)
    : url_(url), key_(std::move(key)), ca_file_(std::move(ca_file)), timeout_(timeout) {
  tls_ = url.rfind("https://", 0) == 0;
  if (!tls_ && url.rfind("http://", 0) != 0) {
    throw std::invalid_argument("the hub's URL must start with http:// or https://, not \"" + url +
                                "\"");
  }
  const std::string rest = url.substr(url.find("//") + 2);
  const std::size_t slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  base_path_ = slash == std::string::npos ? "" : rest.substr(slash);
  while (!base_path_.empty() && base_path_.back() == '/') base_path_.pop_back();
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == authority.size() ||
      authority.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
    throw std::invalid_argument(
        "the hub's URL must name a host and a port, as http://127.0.0.1:8080, not \"" + url + "\"");
  }
  host_ = authority.substr(0, colon);
  port_ = authority.substr(colon + 1);
}

HubAnswer HubClient::Post(const std::string& target, const std::string& json_body) {
  return Send(true, target, json_body);
}

HubAnswer HubClient::Get(const std::string& target) { return Send(false, target, ""); }

HubAnswer HubClient::Send(bool post, const std::string& target, const std::string& body) {
  http::request<http::string_body> request{post ? http::verb::post : http::verb::get,
                                           base_path_ + target, 11};
  request.set(http::field::host, host_ + ":" + port_);
  request.set(http::field::authorization, "Bearer " + key_);
  request.set(http::field::accept, "application/json");
  request.set(http::field::connection, "close");
  if (post) {
    request.set(http::field::content_type, "application/json");
    request.body() = body;
  }
  request.prepare_payload();
  try {
    const auto response = tls_ ? ExchangeTls(host_, port_, ca_file_, request, timeout_)
                               : ExchangePlain(host_, port_, request, timeout_);
    return {static_cast<int>(response.result_int()),
            std::string(response[http::field::content_type]), response.body()};
  } catch (const std::exception& e) {  // boost::system::system_error from the TLS set-up too
    throw std::runtime_error("the hub at " + url_ + " did not answer " + base_path_ + target +
                             " (" + e.what() + ")");
  }
}

}  // namespace zlv
