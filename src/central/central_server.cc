#include "central/central_server.h"

#include <algorithm>
#include <csignal>
#include <optional>
#include <utility>

#include <boost/asio.hpp>

#include "central/call_log.h"
#include "central/central_methods.h"
#include "central/installation_access.h"
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
  InstallationTokens tokens{store};

  // A store may send its token in a request that cannot be read: it never reaches the log.
  void Log(const std::string& line) const {
    if (log) log(WithoutTokens(line));
  }
};

// Who is calling on a connection (framed) or in one request (HTTPS): the token it showed and
// the store it last named.
struct Caller {
  std::optional<std::string> token;  // from Autentica, or the request's Authorization header
  bool https = false;
  CallStore store;
};

// The answer to one request of the store protocol, and whether the connection must close
// because the stream is out of step.
struct RpcAnswer {
  std::string response;
  bool hang_up = false;
};

// The calls that do not name their store (the confirmation and the history upload) are the
// store's that last named itself on the connection, or the installation's own store.
void NoteCall(Shared& shared, Caller& caller, const RpcRequest& request,
              const std::optional<Installation>& installation,
              const std::optional<std::string>& failure) {
  if (!IsCentralMethod(request.method)) return;
  const CallStore named = StoreNamedBy(request.method, request.params);
  if (!named.branch.empty() && !named.store.empty()) {
    caller.store = named;
  } else if (caller.store.branch.empty() && installation && !installation->store.empty()) {
    caller.store = {installation->branch, installation->store};
  }
  if (caller.store.branch.empty()) return;
  shared.calls.Note(caller.store.branch, caller.store.store, request.method,
                    failure ? std::optional(CutText(*failure, kMaxErrorText)) : std::nullopt,
                    std::chrono::steady_clock::now(), !caller.token.has_value());
}

// Autentica: on TCP ["token"] binds the connection to the token's installation; over HTTPS the
// header's token was taken already and the call only proves the hub is there.
Variant Authenticate(Shared& shared, Caller& caller, const RpcRequest& request) {
  if (caller.https) {
    if (!request.params.empty()) {
      throw BadRequest(rpc_code::kInvalidParams,
                       "Autentica: over HTTPS the token goes in the Authorization header");
    }
    return Variant();
  }
  if (request.params.size() != 1 || !request.params[0].IsText()) {
    throw BadRequest(rpc_code::kInvalidParams, "Autentica: expected 1 argument, the token");
  }
  const std::string token = request.params[0].AsText();
  if (!shared.tokens.Find(token, std::chrono::steady_clock::now())) {
    throw BadRequest(rpc_code::kNotAuthorized, TokenRefusedText());
  }
  caller.token = token;
  return Variant();
}

// Parses, authorizes and runs one request of the store protocol, framed or over HTTPS alike.
RpcAnswer AnswerRpc(Shared& shared, Caller& caller, std::string_view payload) {
  RpcRequest request;
  try {
    request = ParseRequest(payload);
  } catch (const BadRequest& e) {
    // Without a readable id the exchange is out of step: answer and hang up.
    shared.Log("refused request: " + CutText(e.what(), kMaxErrorText));
    return {BuildErrorResponse(e.id(), e.code(), e.what()), e.id().is_null()};
  }
  std::string response;
  std::optional<std::string> failure;
  std::optional<Installation> installation;
  try {
    Variant result;
    if (request.method == kAuthenticateMethod) {
      result = Authenticate(shared, caller, request);
    } else {
      if (caller.token) {
        installation = shared.tokens.Find(*caller.token, std::chrono::steady_clock::now());
        if (!installation) throw BadRequest(rpc_code::kNotAuthorized, TokenRefusedText());
        if (IsCentralMethod(request.method)) {
          CheckScope(*installation, request.method, request.params);
        }
      } else if (shared.limits.require_tokens) {
        throw BadRequest(rpc_code::kNotAuthorized, TokenRequiredText());
      }
      result = CallCentralMethod(shared.store, request.method, request.params, shared.clock.Now());
    }
    response = BuildResultResponse(request.id, result);
    EncodeFrameHeader(response.size());
  } catch (const BadRequest& e) {
    shared.Log(CutText(request.method) + ": " + CutText(e.what(), kMaxErrorText));
    response = BuildErrorResponse(request.id, e.code(), e.what());
    // A refused caller is not the store its call names: noting the call there would make a
    // store that is dark look alive, or failing, to support.
    if (e.code() == rpc_code::kNotAuthorized) return {std::move(response), false};
    failure = e.what();
  } catch (const ConnectionLostError& e) {
    // Nothing was handed out or recorded; the next call connects again.
    const std::string message = kDatabaseUnavailable + std::string(e.what());
    shared.Log(CutText(request.method) + " failed: " + CutText(message, kMaxErrorText));
    response = BuildErrorResponse(request.id, rpc_code::kServerError, message);
    failure = message;
    shared.calls.NoteError();
  } catch (const std::exception& e) {
    shared.Log(CutText(request.method) + " failed: " + CutText(e.what(), kMaxErrorText));
    response = BuildErrorResponse(request.id, rpc_code::kServerError, e.what());
    failure = e.what();
    shared.calls.NoteError();
  }
  NoteCall(shared, caller, request, installation, failure);
  return {std::move(response), false};
}

// POST /rpc: the store protocol over HTTP(S), the installation's token in the Authorization
// header. A missing, unknown or revoked token is a 401 carrying the JSON-RPC error.
HttpResponse AnswerRpcOverHttp(Shared& shared, const HttpRequest& request) {
  const auto unauthorized = [&](const std::string& message) {
    nlohmann::json id = nullptr;
    try {
      id = ParseRequest(request.body).id;
    } catch (const BadRequest& e) {
      id = e.id();
    }
    HttpResponse response(401, "application/json",
                          BuildErrorResponse(id, rpc_code::kNotAuthorized, message));
    response.headers.emplace_back("WWW-Authenticate", "Bearer");
    return response;
  };
  const auto header = request.headers.find("authorization");
  const std::string scheme = "Bearer ";
  if (header == request.headers.end() || header->second.rfind(scheme, 0) != 0) {
    return unauthorized(TokenRequiredText());
  }
  Caller caller{header->second.substr(scheme.size()), true, {}};
  if (!shared.tokens.Find(*caller.token, std::chrono::steady_clock::now())) {
    return unauthorized(TokenRefusedText());
  }
  return HttpResponse(200, "application/json", AnswerRpc(shared, caller, request.body).response);
}

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
    const std::string payload = std::move(payload_);
    std::string().swap(payload_);
    RpcAnswer answer = AnswerRpc(shared_, caller_, payload);
    Reply(std::move(answer.response), answer.hang_up);
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
  Caller caller_;
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
  if (port >= 0) ListenOn(impl_->acceptor, bind_address, port);
}

CentralServer::~CentralServer() = default;

const CallLog& CentralServer::calls() const { return impl_->shared.calls; }

int CentralServer::port() const {
  return impl_->acceptor.is_open() ? impl_->acceptor.local_endpoint().port() : 0;
}

int CentralServer::ServeHttp(const std::string& bind_address, int port, HttpServer::Handler handler,
                             HttpServerLimits limits, const std::optional<TlsFiles>& tls) {
  // The store protocol's requests are as large as its frames may be.
  limits.large_body_path = kRpcPath;
  limits.max_large_body = kMaxFramePayload;
  Shared& shared = impl_->shared;
  impl_->http = std::make_unique<HttpServer>(
      impl_->io, bind_address, port,
      [&shared, handler = std::move(handler)](const HttpRequest& request) {
        const std::string& target = request.target;
        if (target.substr(0, target.find('?')) != kRpcPath) return handler(request);
        if (request.method != "POST") {
          HttpResponse response = ProblemResponse(
              {405, "method-not-allowed", "Method not allowed", "only POST is served on /rpc", {}},
              request.request_id);
          response.headers.emplace_back("Allow", "POST");
          return response;
        }
        return AnswerRpcOverHttp(shared, request);
      },
      [&shared](const std::string& line) { shared.Log(line); }, limits, tls);
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
  if (impl_->acceptor.is_open()) impl_->Accept();
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
