#include "dropping_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>

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

DroppingProxy::DroppingProxy(int upstream_port) : upstream_port_(upstream_port) {
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
      Relay(client);
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
