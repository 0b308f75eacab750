// CentralServer: the reference central order server on TCP. Each connection is a session that
// reads a request frame, runs the method on the CentralStore and writes the response frame,
// one request at a time, as the store's client sends them. All sessions run on one event
// loop thread, so the store is only ever touched by that thread.
//
// A frame over the limit or a payload that is not a JSON-RPC request is answered with an
// error and the connection is closed: the stream can no longer be trusted to be in step.
//
// Owns its sockets and event loop. Run() on one thread; Stop() from any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "bizlib/clock.h"
#include "central/central_store.h"

namespace zlv {

class CentralServer {
 public:
  using LogSink = std::function<void(const std::string&)>;

  // Binds and listens on address:port (port 0: a free port the system picks). Throws
  // std::system_error when the address cannot be bound.
  CentralServer(CentralStore& store, const Clock& clock, const std::string& bind_address, int port,
                LogSink log = {});
  ~CentralServer();
  CentralServer(const CentralServer&) = delete;
  CentralServer& operator=(const CentralServer&) = delete;

  int port() const;
  // Serves until Stop(), or, when asked, until SIGINT or SIGTERM arrives.
  void Run(bool stop_on_signals = false);
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zlv
