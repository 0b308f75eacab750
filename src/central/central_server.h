// CentralServer: the reference central order server on TCP. Each connection is a session that
// reads a request frame, runs the method on the HubStore and writes the response frame,
// one request at a time, as the store's client sends them. All sessions run on one event
// loop thread, so the store is only ever touched by that thread.
//
// A frame over the limit or a payload that is not a JSON-RPC request is answered with an
// error and the connection is closed: the stream can no longer be trusted to be in step.
// Whatever fails while one request is read, run or answered costs that connection at most,
// never the server.
//
// What one client can hold is bounded: a payload is read into a buffer that grows with the
// bytes that came, a connection idle between requests or slow to send one is closed, the
// number of connections is capped, and when the process runs out of file descriptors it stops
// accepting for a moment instead of retrying at once.
//
// Each store's last call per method is kept for the presence view (CallLog): the calls that
// name a store, and the ones that follow them on the same connection, are written every
// call_write_interval. A call that fails because the database cannot be reached gets an error
// saying so, and the next call connects again.
//
// Owns its sockets and event loop. Run() on one thread; Stop() from any thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bizlib/clock.h"
#include "central/call_log.h"
#include "central/http_server.h"
#include "central/hub_store.h"

namespace zlv {

struct CentralServerLimits {
  // From the end of an answer until the next request's header has come.
  std::chrono::milliseconds idle_timeout{120'000};
  // From a request's header until its answer is written.
  std::chrono::milliseconds request_timeout{30'000};
  // Connections open at once; one more is closed as soon as it is accepted.
  int max_connections = 500;
  // How often the stores' calls are recorded for the presence view: a store's row is written
  // at most this often, however often it calls.
  std::chrono::milliseconds call_write_interval{10'000};
  // Calls on the framed TCP port need a token too (Autentica first); HTTPS always does.
  bool require_tokens = false;
};

// Where the HTTP listener serves the store protocol (POST, the token as a Bearer token).
inline constexpr const char* kRpcPath = "/rpc";

class CentralServer {
 public:
  using LogSink = std::function<void(const std::string&)>;

  // Binds and listens on address:port (port 0: a free port the system picks; a negative port:
  // no framed listener, the store protocol only over HTTP(S) on /rpc). Throws
  // std::system_error when the address cannot be bound.
  CentralServer(HubStore& store, const Clock& clock, const std::string& bind_address, int port,
                LogSink log = {}, CentralServerLimits limits = {});
  ~CentralServer();
  CentralServer(const CentralServer&) = delete;
  CentralServer& operator=(const CentralServer&) = delete;

  int port() const;  // 0 without a framed listener
  // What the stores' calls came to since the start: read on the event loop's thread only (as
  // the HTTP handler is).
  const CallLog& calls() const;
  // Also answers HTTP (HTTPS with `tls`) on address:port (0: a free port) on the same event
  // loop, from Run() on; returns the port. POST /rpc is the store protocol (one request per
  // POST, the installation's token as a Bearer token: docs/protocol.md); every other request
  // goes to `handler`. Call before Run(). Throws std::system_error when it cannot bind,
  // std::runtime_error when the TLS files cannot be used.
  int ServeHttp(const std::string& bind_address, int port, HttpServer::Handler handler,
                HttpServerLimits limits = {}, const std::optional<TlsFiles>& tls = {});
  // Serves until Stop(), or, when asked, until SIGINT or SIGTERM arrives.
  void Run(bool stop_on_signals = false);
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zlv
