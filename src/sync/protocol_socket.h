// FramedConnection: one TCP connection that exchanges protocol frames (protocol_frame.h) with
// blocking calls bounded by a time-out. Each call runs the socket operation on the
// connection's own event loop until it completes or its deadline passes; on a time-out the
// socket is closed, so a late answer can never be taken for the answer to a later request.
//
// Owns its socket (closed by the destructor); move-only. One thread at a time.
#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zlv {

// The connection failed: refused, reset, closed by the peer, timed out, name not resolved.
// The connection is closed when this is thrown.
class TransportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FramedConnection {
 public:
  using Timeout = std::chrono::milliseconds;

  // Resolves the host (an address or a name) and connects. Throws TransportError.
  static FramedConnection Open(const std::string& host, int port, Timeout timeout);

  FramedConnection(FramedConnection&&) noexcept;
  FramedConnection& operator=(FramedConnection&&) noexcept;
  FramedConnection(const FramedConnection&) = delete;
  FramedConnection& operator=(const FramedConnection&) = delete;
  ~FramedConnection();

  // Writes one frame. A payload over the limit throws ProtocolError before anything is sent
  // (the connection stays usable); a failed or timed-out write throws TransportError.
  void Send(std::string_view payload, Timeout timeout);
  // Reads one whole frame, which must arrive within the time-out. Throws TransportError, or
  // ProtocolError (and closes) for an over-limit length.
  std::string Receive(Timeout timeout);

  bool IsOpen() const;
  void Close() noexcept;
  const std::string& peer() const;  // "host:port", for messages

 private:
  struct Impl;
  explicit FramedConnection(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// "60 s" or "250 ms", for time-out messages.
std::string DescribeTimeout(std::chrono::milliseconds timeout);

}  // namespace zlv
