#include "sync/protocol_socket.h"

#include <array>
#include <optional>
#include <utility>

#include <asio.hpp>

#include "platform/system_error_text.h"
#include "sync/protocol_frame.h"

namespace zlv {

using asio::ip::tcp;

struct FramedConnection::Impl {
  asio::io_context io;
  tcp::socket socket{io};
  std::string peer;

  // Starts an operation through `start` (given the completion handler) and runs the event
  // loop until it completes or the deadline passes. Throws TransportError on failure.
  template <typename Start>
  void Run(Start&& start, std::chrono::steady_clock::time_point deadline, Timeout timeout,
           const std::string& what) {
    std::optional<asio::error_code> outcome;
    start([&outcome](const asio::error_code& ec, auto&&...) { outcome = ec; });
    io.restart();
    io.run_until(deadline);
    if (!outcome) {
      CloseSocket();
      // The aborted operation still completes (with operation_aborted) and must run before
      // `outcome` goes out of scope.
      io.restart();
      io.run();
      throw TransportError(what + " " + peer + ": tempo esgotado após " + DescribeTimeout(timeout));
    }
    if (*outcome) {
      CloseSocket();
      if (*outcome == asio::error::eof) {
        throw TransportError(what + " " + peer + ": conexão encerrada pelo outro lado");
      }
      throw TransportError(what + " " + peer + ": " + platform::SystemErrorText(*outcome));
    }
  }

  void CloseSocket() noexcept {
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
  }
};

std::string DescribeTimeout(std::chrono::milliseconds timeout) {
  if (timeout.count() % 1000 == 0) return std::to_string(timeout.count() / 1000) + " s";
  return std::to_string(timeout.count()) + " ms";
}

FramedConnection::FramedConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FramedConnection::FramedConnection(FramedConnection&&) noexcept = default;
FramedConnection& FramedConnection::operator=(FramedConnection&&) noexcept = default;
FramedConnection::~FramedConnection() {
  if (impl_) impl_->CloseSocket();
}

FramedConnection FramedConnection::Open(const std::string& host, int port, Timeout timeout) {
  auto impl = std::make_unique<Impl>();
  impl->peer = host + ":" + std::to_string(port);
  if (port <= 0 || port > 65535) {
    throw TransportError("conectando a " + impl->peer + ": porta inválida");
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  asio::error_code ec;
  tcp::resolver::results_type endpoints;
  const auto address = asio::ip::make_address(host, ec);
  if (!ec) {
    endpoints = tcp::resolver::results_type::create(tcp::endpoint(address, port), host,
                                                    std::to_string(port));
  } else {
    // Names go through the system resolver, which keeps its own time-outs.
    tcp::resolver resolver(impl->io);
    endpoints = resolver.resolve(host, std::to_string(port), ec);
    if (ec) throw TransportError("resolvendo " + impl->peer + ": " + platform::SystemErrorText(ec));
  }
  impl->Run([&](auto handler) { asio::async_connect(impl->socket, endpoints, std::move(handler)); },
            deadline, timeout, "conectando a");
  impl->socket.set_option(tcp::no_delay(true), ec);
  return FramedConnection(std::move(impl));
}

void FramedConnection::Send(std::string_view payload, Timeout timeout) {
  if (!IsOpen()) throw TransportError("enviando a " + peer() + ": não conectado");
  const auto header = EncodeFrameHeader(payload.size());
  const std::array<asio::const_buffer, 2> buffers{asio::buffer(header),
                                                  asio::buffer(payload.data(), payload.size())};
  impl_->Run([&](auto handler) { asio::async_write(impl_->socket, buffers, std::move(handler)); },
             std::chrono::steady_clock::now() + timeout, timeout, "enviando a");
}

std::string FramedConnection::Receive(Timeout timeout) {
  if (!IsOpen()) throw TransportError("recebendo de " + peer() + ": não conectado");
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  unsigned char header[kFrameHeaderSize];
  impl_->Run(
      [&](auto handler) {
        asio::async_read(impl_->socket, asio::buffer(header), std::move(handler));
      },
      deadline, timeout, "recebendo de");
  std::size_t size = 0;
  try {
    size = DecodeFrameLength(header);
  } catch (const ProtocolError&) {
    impl_->CloseSocket();
    throw;
  }
  std::string payload(size, '\0');
  if (size > 0) {
    impl_->Run(
        [&](auto handler) {
          asio::async_read(impl_->socket, asio::buffer(payload.data(), payload.size()),
                           std::move(handler));
        },
        deadline, timeout, "recebendo de");
  }
  return payload;
}

bool FramedConnection::IsOpen() const { return impl_ && impl_->socket.is_open(); }

void FramedConnection::Close() noexcept {
  if (impl_) impl_->CloseSocket();
}

const std::string& FramedConnection::peer() const {
  static const std::string kNone = "(closed)";
  return impl_ ? impl_->peer : kNone;
}

}  // namespace zlv
