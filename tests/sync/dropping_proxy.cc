#include "dropping_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "central/hub_client.h"
#include "central/tls_context.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_socket.h"

namespace zlv::test {

namespace {

// How often the relay looks at its stop flag while it waits.
constexpr int kPollMilliseconds = 50;
constexpr std::chrono::milliseconds kUpstreamTimeout{10'000};

// Waits until fd is readable; false when the proxy stops first.
bool WaitReadable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kPollMilliseconds);
    if (ready > 0) return true;
    if (ready < 0) return false;
  }
  return false;
}

// Reads exactly n bytes; false on end of stream, error or stop.
bool ReadExact(int fd, char* data, size_t n, const std::atomic<bool>& stop) {
  while (n > 0) {
    if (!WaitReadable(fd, stop)) return false;
    const ssize_t got = ::recv(fd, data, n, 0);
    if (got <= 0) return false;
    data += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

std::optional<std::string> ReadFrame(int fd, const std::atomic<bool>& stop) {
  unsigned char header[kFrameHeaderSize];
  if (!ReadExact(fd, reinterpret_cast<char*>(header), kFrameHeaderSize, stop)) return std::nullopt;
  std::string payload(DecodeFrameLength(header), '\0');
  if (!ReadExact(fd, payload.data(), payload.size(), stop)) return std::nullopt;
  return payload;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

DroppingProxy::DroppingProxy(int upstream_port) : upstream_port_(upstream_port) { Listen(); }

DroppingProxy::DroppingProxy(Https https) : https_(std::move(https)) { Listen(); }

void DroppingProxy::Listen() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("proxy: socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener_);
    throw std::runtime_error("proxy: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

DroppingProxy::~DroppingProxy() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

void DroppingProxy::DropNextRequestFor(std::string method) {
  std::lock_guard lock(mutex_);
  armed_method_ = std::move(method);
}

void DroppingProxy::RewriteAnswersTo(std::string method, Rewrite rewrite) {
  std::lock_guard lock(mutex_);
  rewritten_method_ = std::move(method);
  rewrite_ = std::move(rewrite);
}

void DroppingProxy::WatchRequests(Watch watch) {
  std::lock_guard lock(mutex_);
  watch_ = std::move(watch);
}

void DroppingProxy::Watched(const std::string& request) {
  std::lock_guard lock(mutex_);
  if (watch_) watch_(request);
}

std::string DroppingProxy::Answer(const std::string& request, std::string payload) {
  std::lock_guard lock(mutex_);
  if (rewritten_method_.empty() ||
      request.find("\"" + rewritten_method_ + "\"") == std::string::npos) {
    return payload;
  }
  return rewrite_(payload);
}

bool DroppingProxy::ShouldDrop(const std::string& request) {
  std::lock_guard lock(mutex_);
  if (armed_method_.empty()) return false;
  if (request.find("\"" + armed_method_ + "\"") == std::string::npos) return false;
  armed_method_.clear();
  return true;
}

void DroppingProxy::Serve() {
  while (WaitReadable(listener_, stop_)) {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    try {
      https_ ? RelayHttps(client) : Relay(client);
    } catch (const std::exception&) {
      // The server side went away: the client sees its connection closed.
    }
    ::close(client);
  }
}

void DroppingProxy::Relay(int client) {
  FramedConnection upstream = FramedConnection::Open("127.0.0.1", upstream_port_, kUpstreamTimeout);
  while (std::optional<std::string> request = ReadFrame(client, stop_)) {
    if (ShouldDrop(*request)) {
      ++drops_;
      return;
    }
    Watched(*request);
    upstream.Send(*request, kUpstreamTimeout);
    const std::string answer = Answer(*request, upstream.Receive(kUpstreamTimeout));
    if (!WriteAll(client, EncodeFrame(answer))) return;
  }
}

}  // namespace zlv::test

namespace zlv::test {

void DroppingProxy::RelayHttps(int client) {
  namespace asio = boost::asio;
  namespace beast = boost::beast;
  namespace http = beast::http;
  const std::unique_ptr<asio::ssl::context> tls =
      MakeServerTlsContext(https_->cert_file, https_->key_file);
  asio::io_context io;
  // The stream gets a copy of the descriptor: Serve() closes its own.
  beast::ssl_stream<asio::ip::tcp::socket> stream(
      asio::ip::tcp::socket(io, asio::ip::tcp::v4(), ::dup(client)), *tls);
  stream.handshake(asio::ssl::stream_base::server);
  beast::flat_buffer buffer;
  http::request_parser<http::string_body> parser;
  parser.body_limit(kMaxFramePayload);
  beast::error_code ec;
  http::read(stream, buffer, parser, ec);
  if (ec) return;
  const http::request<http::string_body> request = parser.release();
  const std::string& body = request.body();
  if (ShouldDrop(body)) {
    ++drops_;
    return;
  }
  Watched(body);
  std::string token(request[http::field::authorization]);
  if (token.rfind("Bearer ", 0) == 0) token.erase(0, 7);
  const HubAnswer answer = HubClient(https_->upstream_url, token, kUpstreamTimeout, https_->ca_file)
                               .Post(std::string(request.target()), body);
  http::response<http::string_body> response{static_cast<http::status>(answer.status), 11};
  response.set(http::field::content_type, answer.content_type);
  response.body() = answer.status == 200 ? Answer(body, answer.body) : answer.body;
  // One request per connection: a client may send a request again by itself when a kept-alive
  // connection closes without an answer (libcurl does), and a dropped request must reach the
  // client as the failure it is.
  response.keep_alive(false);
  response.prepare_payload();
  http::write(stream, response, ec);
}

}  // namespace zlv::test
