#include "central/central_server.h"

#include <csignal>
#include <utility>

#include <asio.hpp>

#include "central/central_methods.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_rpc.h"

namespace zlv {

using asio::ip::tcp;

namespace {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, CentralStore& store, const Clock& clock,
          const CentralServer::LogSink& log)
      : socket_(std::move(socket)), store_(store), clock_(clock), log_(log) {}

  void Start() { ReadHeader(); }

 private:
  void ReadHeader() {
    asio::async_read(socket_, asio::buffer(header_),
                     [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                       if (!ec) self->OnHeader();
                     });
  }

  void OnHeader() {
    std::size_t size = 0;
    try {
      size = DecodeFrameLength(header_);
    } catch (const ProtocolError& e) {
      Reply(BuildErrorResponse(nullptr, rpc_code::kInvalidRequest, e.what()), true);
      return;
    }
    payload_.assign(size, '\0');
    asio::async_read(socket_, asio::buffer(payload_),
                     [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                       if (!ec) self->OnPayload();
                     });
  }

  void OnPayload() {
    RpcRequest request;
    try {
      request = ParseRequest(payload_);
    } catch (const BadRequest& e) {
      // Without a readable id the exchange is out of step: answer and hang up.
      const bool hang_up = e.id().is_null();
      Log("refused request: " + std::string(e.what()));
      Reply(BuildErrorResponse(e.id(), e.code(), e.what()), hang_up);
      return;
    }
    std::string response;
    try {
      const Variant result =
          CallCentralMethod(store_, request.method, request.params, clock_.Now());
      response = BuildResultResponse(request.id, result);
      EncodeFrameHeader(response.size());
    } catch (const BadRequest& e) {
      Log(request.method + ": " + e.what());
      response = BuildErrorResponse(request.id, e.code(), e.what());
    } catch (const std::exception& e) {
      Log(request.method + " failed: " + e.what());
      response = BuildErrorResponse(request.id, rpc_code::kServerError, e.what());
    }
    Reply(std::move(response), false);
  }

  void Reply(std::string response, bool then_close) {
    frame_ = EncodeFrame(response);
    asio::async_write(
        socket_, asio::buffer(frame_),
        [self = shared_from_this(), then_close](const asio::error_code& ec, std::size_t) {
          if (!ec && !then_close) self->ReadHeader();
        });
  }

  void Log(const std::string& line) {
    if (log_) log_(line);
  }

  tcp::socket socket_;
  CentralStore& store_;
  const Clock& clock_;
  const CentralServer::LogSink& log_;
  unsigned char header_[kFrameHeaderSize] = {};
  std::string payload_;
  std::string frame_;
};

}  // namespace

struct CentralServer::Impl {
  Impl(CentralStore& s, const Clock& c, LogSink l) : store(s), clock(c), log(std::move(l)) {}

  void Accept() {
    acceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
      if (ec) {
        if (acceptor.is_open() && ec != asio::error::operation_aborted) Accept();
        return;
      }
      std::make_shared<Session>(std::move(socket), store, clock, log)->Start();
      Accept();
    });
  }

  CentralStore& store;
  const Clock& clock;
  LogSink log;
  asio::io_context io;
  tcp::acceptor acceptor{io};
};

CentralServer::CentralServer(CentralStore& store, const Clock& clock,
                             const std::string& bind_address, int port, LogSink log)
    : impl_(std::make_unique<Impl>(store, clock, std::move(log))) {
  const tcp::endpoint endpoint(asio::ip::make_address(bind_address),
                               static_cast<unsigned short>(port));
  impl_->acceptor.open(endpoint.protocol());
  impl_->acceptor.set_option(tcp::acceptor::reuse_address(true));
  impl_->acceptor.bind(endpoint);
  impl_->acceptor.listen();
}

CentralServer::~CentralServer() = default;

int CentralServer::port() const { return impl_->acceptor.local_endpoint().port(); }

void CentralServer::Run(bool stop_on_signals) {
  asio::signal_set signals(impl_->io);
  if (stop_on_signals) {
    signals.add(SIGINT);
    signals.add(SIGTERM);
    signals.async_wait([this](const asio::error_code& ec, int) {
      if (!ec) Stop();
    });
  }
  impl_->Accept();
  impl_->io.run();
}

void CentralServer::Stop() {
  asio::post(impl_->io, [impl = impl_.get()] {
    asio::error_code ignored;
    impl->acceptor.close(ignored);
    impl->io.stop();
  });
}

}  // namespace zlv
