#include "central/central_server.h"

#include <algorithm>
#include <csignal>
#include <optional>
#include <utility>

#include <boost/asio.hpp>

#include "central/call_log.h"
#include "central/central_methods.h"
#include "central/listen.h"
#include "database/database.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_rpc.h"

namespace zlv {

namespace asio = boost::asio;
using asio::ip::tcp;
using error_code = boost::system::error_code;

namespace {

// A payload buffer grows by at least this much, and at most doubles, as bytes arrive: a
// header that announces 64 MiB costs nothing until the bytes come.
constexpr std::size_t kReadStep = 64 * 1024;
// How long accepting pauses when the process has no file descriptor left.
constexpr std::chrono::milliseconds kAcceptPause{500};
// Leads the error a call gets while the hub cannot reach its database.
constexpr const char* kDatabaseUnavailable = "the hub's database is unavailable, try again: ";

// What the sessions share with the server; lives as long as the event loop.
struct Shared {
  HubStore& store;
  const Clock& clock;
  CentralServer::LogSink log;
  CentralServerLimits limits;
  int sessions = 0;
  CallLog calls;

  void Log(const std::string& line) const {
    if (log) log(line);
  }
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Shared& shared)
      : socket_(std::move(socket)), timer_(socket_.get_executor()), shared_(shared) {
    ++shared_.sessions;
  }
  ~Session() { --shared_.sessions; }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void Start() { ReadHeader(); }

 private:
  // Runs one step of the session; a failure closes this connection and goes no further.
  template <typename Step>
  void Guarded(Step&& step) {
    try {
      step();
    } catch (const std::exception& e) {
      shared_.Log("connection dropped: " + CutText(e.what(), kMaxErrorText));
      Close();
    }
  }

  // A connection that does not reach the next step in time is closed.
  void Arm(std::chrono::milliseconds timeout) {
    timer_.expires_after(timeout);
    timer_.async_wait([weak = weak_from_this()](const error_code& ec) {
      if (ec) return;
      if (const auto self = weak.lock()) self->Close();
    });
  }

  void Close() {
    error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    timer_.cancel();
  }

  void ReadHeader() {
    Arm(shared_.limits.idle_timeout);
    asio::async_read(socket_, asio::buffer(header_),
                     [self = shared_from_this()](const error_code& ec, std::size_t) {
                       if (ec) return self->Close();
                       self->Guarded([&] { self->OnHeader(); });
                     });
  }

  void OnHeader() {
    Arm(shared_.limits.request_timeout);
    try {
      size_ = DecodeFrameLength(header_);
    } catch (const ProtocolError& e) {
      Reply(BuildErrorResponse(nullptr, rpc_code::kInvalidRequest, e.what()), true);
      return;
    }
    received_ = 0;
    payload_.clear();
    ReadPayload();
  }

  void ReadPayload() {
    if (received_ == size_) return OnPayload();
    if (received_ == payload_.size()) {
      payload_.resize(std::min(size_, received_ + std::max(received_, kReadStep)));
    }
    socket_.async_read_some(asio::buffer(payload_.data() + received_, payload_.size() - received_),
                            [self = shared_from_this()](const error_code& ec, std::size_t count) {
                              if (ec) return self->Close();
                              self->received_ += count;
                              self->Guarded([&] { self->ReadPayload(); });
                            });
  }

  void OnPayload() {
    RpcRequest request;
    try {
      request = ParseRequest(payload_);
    } catch (const BadRequest& e) {
      // Without a readable id the exchange is out of step: answer and hang up.
      const bool hang_up = e.id().is_null();
      shared_.Log("refused request: " + CutText(e.what(), kMaxErrorText));
      Reply(BuildErrorResponse(e.id(), e.code(), e.what()), hang_up);
      return;
    }
    std::string().swap(payload_);  // the request lives on in its values only
    std::string response;
    std::optional<std::string> failure;
    try {
      const Variant result =
          CallCentralMethod(shared_.store, request.method, request.params, shared_.clock.Now());
      response = BuildResultResponse(request.id, result);
      EncodeFrameHeader(response.size());
    } catch (const BadRequest& e) {
      shared_.Log(CutText(request.method) + ": " + CutText(e.what(), kMaxErrorText));
      response = BuildErrorResponse(request.id, e.code(), e.what());
      failure = e.what();
    } catch (const ConnectionLostError& e) {
      // Nothing was handed out or recorded; the next call connects again.
      const std::string message = kDatabaseUnavailable + std::string(e.what());
      shared_.Log(CutText(request.method) + " failed: " + CutText(message, kMaxErrorText));
      response = BuildErrorResponse(request.id, rpc_code::kServerError, message);
      failure = message;
      shared_.calls.NoteError();
    } catch (const std::exception& e) {
      shared_.Log(CutText(request.method) + " failed: " + CutText(e.what(), kMaxErrorText));
      response = BuildErrorResponse(request.id, rpc_code::kServerError, e.what());
      failure = e.what();
      shared_.calls.NoteError();
    }
    NoteCall(request, failure);
    Reply(std::move(response), false);
  }

  // The calls that do not name their store (the confirmation and the history upload) are the
  // store's that last named itself on this connection.
  void NoteCall(const RpcRequest& request, const std::optional<std::string>& failure) {
    if (!IsCentralMethod(request.method)) return;
    const CallStore named = StoreNamedBy(request.method, request.params);
    if (!named.branch.empty() && !named.store.empty()) store_ = named;
    if (store_.branch.empty()) return;
    shared_.calls.Note(store_.branch, store_.store, request.method,
                       failure ? std::optional(CutText(*failure, kMaxErrorText)) : std::nullopt,
                       std::chrono::steady_clock::now());
  }

  void Reply(const std::string& response, bool then_close) {
    frame_ = EncodeFrame(response);
    asio::async_write(socket_, asio::buffer(frame_),
                      [self = shared_from_this(), then_close](const error_code& ec, std::size_t) {
                        std::string().swap(self->frame_);
                        if (ec || then_close) return self->Close();
                        self->Guarded([&] { self->ReadHeader(); });
                      });
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  Shared& shared_;
  unsigned char header_[kFrameHeaderSize] = {};
  std::size_t size_ = 0;
  std::size_t received_ = 0;
  std::string payload_;
  std::string frame_;
  CallStore store_;
};

}  // namespace

struct CentralServer::Impl {
  Impl(HubStore& s, const Clock& c, LogSink l, CentralServerLimits limits)
      : shared{s, c, std::move(l), limits, 0, {}} {}

  void Accept() {
    acceptor.async_accept([this](const error_code& ec, tcp::socket socket) {
      if (!acceptor.is_open() || ec == asio::error::operation_aborted) return;
      if (ec) {
        // Out of file descriptors (or another resource): retrying at once would spin. The
        // pending connections wait in the backlog meanwhile.
        if (!accept_failing) shared.Log("accept failed, pausing: " + ec.message());
        accept_failing = true;
        pause.expires_after(kAcceptPause);
        pause.async_wait([this](const error_code& waited) {
          if (!waited) Accept();
        });
        return;
      }
      accept_failing = false;
      if (shared.sessions >= shared.limits.max_connections) {
        if (!over_cap) {
          shared.Log("connection refused: " + std::to_string(shared.limits.max_connections) +
                     " connections open");
        }
        over_cap = true;
        error_code ignored;
        socket.close(ignored);
      } else {
        over_cap = false;
        try {
          std::make_shared<Session>(std::move(socket), shared)->Start();
        } catch (const std::exception& e) {
          shared.Log("connection dropped: " + std::string(e.what()));
        }
      }
      Accept();
    });
  }

  // Records the stores' calls every interval; a failed write is tried again at the next.
  void WriteCallsEvery() {
    calls_timer.expires_after(shared.limits.call_write_interval);
    calls_timer.async_wait([this](const error_code& ec) {
      if (ec) return;
      WriteCalls();
      WriteCallsEvery();
    });
  }

  void WriteCalls() {
    try {
      shared.calls.Write(shared.store, std::chrono::steady_clock::now());
    } catch (const std::exception& e) {
      shared.calls.NoteError();
      shared.Log("recording the stores' calls failed: " + CutText(e.what(), kMaxErrorText));
    }
  }

  // Declared before the event loop, whose pending handlers hold sessions that use it.
  Shared shared;
  bool accept_failing = false;
  bool over_cap = false;
  asio::io_context io;
  tcp::acceptor acceptor{io};
  asio::steady_timer pause{io};
  asio::steady_timer calls_timer{io};
  std::unique_ptr<HttpServer> http;
};

CentralServer::CentralServer(HubStore& store, const Clock& clock, const std::string& bind_address,
                             int port, LogSink log, CentralServerLimits limits)
    : impl_(std::make_unique<Impl>(store, clock, std::move(log), limits)) {
  ListenOn(impl_->acceptor, bind_address, port);
}

CentralServer::~CentralServer() = default;

const CallLog& CentralServer::calls() const { return impl_->shared.calls; }

int CentralServer::port() const { return impl_->acceptor.local_endpoint().port(); }

int CentralServer::ServeHttp(const std::string& bind_address, int port, HttpServer::Handler handler,
                             HttpServerLimits limits, const std::optional<TlsFiles>& tls) {
  const LogSink& log = impl_->shared.log;
  impl_->http = std::make_unique<HttpServer>(
      impl_->io, bind_address, port, std::move(handler),
      [log](const std::string& line) {
        if (log) log(line);
      },
      limits, tls);
  return impl_->http->port();
}

void CentralServer::Run(bool stop_on_signals) {
  asio::signal_set signals(impl_->io);
  if (stop_on_signals) {
    signals.add(SIGINT);
    signals.add(SIGTERM);
    signals.async_wait([this](const error_code& ec, int) {
      if (!ec) Stop();
    });
  }
  impl_->Accept();
  if (impl_->http) impl_->http->Start();
  impl_->WriteCallsEvery();
  impl_->io.run();
  // What the last interval noted is not lost to a stop.
  impl_->WriteCalls();
}

void CentralServer::Stop() {
  asio::post(impl_->io, [impl = impl_.get()] {
    error_code ignored;
    impl->acceptor.close(ignored);
    impl->pause.cancel();
    impl->calls_timer.cancel();
    if (impl->http) impl->http->Stop();
    impl->io.stop();
  });
}

}  // namespace zlv
