// CentralClient against servers that misbehave on purpose: real TCP servers on 127.0.0.1 that
// drop the connection, stall, or answer garbage. The well-behaved reference server is tested
// with the client in src/central/central_server_test.cc.
#include "sync/central_client.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "bizlib/https.h"
#include "log/activity_log.h"
#include "support/https_server.h"
#include "support/temp_dir.h"
#include "sync/protocol_frame.h"
#include "sync/protocol_rpc.h"

namespace zlv {
namespace {

using asio::ip::tcp;
using namespace std::chrono_literals;

// Accepts connections on 127.0.0.1 one after another and runs a script on each.
class ScriptedServer {
 public:
  using Script = std::function<void(tcp::socket&, ScriptedServer&)>;

  explicit ScriptedServer(Script script) : script_(std::move(script)) {
    acceptor_.open(tcp::v4());
    acceptor_.bind(tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    acceptor_.listen();
    port_ = acceptor_.local_endpoint().port();
    thread_ = std::thread([this] { Serve(); });
  }

  ~ScriptedServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    released_.notify_all();
    // Wakes the blocking accept with one last connection.
    asio::io_context io;
    tcp::socket wake(io);
    asio::error_code ignored;
    wake.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port_), ignored);
    thread_.join();
  }

  int port() const { return port_; }

  // A stalled script waits here until the test ends.
  void Stall() {
    std::unique_lock lock(mutex_);
    released_.wait_for(lock, 30s, [this] { return stopping_; });
  }

  static std::string ReadFrame(tcp::socket& socket) {
    unsigned char header[kFrameHeaderSize];
    asio::read(socket, asio::buffer(header));
    std::string payload(DecodeFrameLength(header), '\0');
    asio::read(socket, asio::buffer(payload));
    return payload;
  }
  static void WriteBytes(tcp::socket& socket, const std::string& bytes) {
    asio::write(socket, asio::buffer(bytes));
  }

 private:
  void Serve() {
    for (;;) {
      tcp::socket socket(io_);
      asio::error_code ec;
      acceptor_.accept(socket, ec);
      {
        std::lock_guard lock(mutex_);
        if (stopping_ || ec) return;
      }
      try {
        script_(socket, *this);
      } catch (const std::exception&) {
        // The client hung up: the script is over for this connection.
      }
    }
  }

  Script script_;
  asio::io_context io_;
  tcp::acceptor acceptor_{io_};
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable released_;
  bool stopping_ = false;
  std::thread thread_;
};

// Answers every request with what `answer` makes of it, until the client hangs up.
ScriptedServer::Script Answering(std::function<std::string(const RpcRequest&)> answer) {
  return [answer](tcp::socket& socket, ScriptedServer&) {
    for (;;) {
      const RpcRequest request = ParseRequest(ScriptedServer::ReadFrame(socket));
      ScriptedServer::WriteBytes(socket, EncodeFrame(answer(request)));
    }
  };
}

class CentralClientTest : public ::testing::Test {
 protected:
  void TearDown() override { SetHttpsExtraCaFile(""); }

  CentralClient MakeClient(int port, std::chrono::milliseconds timeout = 5s,
                           std::string token = "") {
    return MakeClient(CentralEndpoint{"127.0.0.1", port, "", std::move(token), ""}, timeout);
  }
  CentralClient MakeClient(CentralEndpoint endpoint, std::chrono::milliseconds timeout = 5s) {
    return CentralClient(
        log_,
        [this, endpoint] {
          ++endpoint_reads_;
          return endpoint;
        },
        timeout);
  }
  // A client of the test HTTPS server, trusting its certificate.
  CentralClient HttpsClient(const test::TestHttpsServer& server, std::string token) {
    SetHttpsExtraCaFile(server.ca_file().string());
    return MakeClient({"127.0.0.1", server.port(), server.url("/rpc"), std::move(token), ""});
  }

  int LogCount(const std::string& line) {
    const std::string text = test::ReadFileBytes(log_.FileFor(clock_.Now()));
    int count = 0;
    for (std::size_t at = text.find(" - " + line + "\r\n"); at != std::string::npos;
         at = text.find(" - " + line + "\r\n", at + 1)) {
      ++count;
    }
    return count;
  }

  test::TempDir home_{"zlv-central-client"};
  FakeClock clock_{DateTime::FromCivil(2026, 3, 14, 12, 0, 0)};
  ActivityLog log_{home_.path(), clock_};
  int endpoint_reads_ = 0;
};

TEST_F(CentralClientTest, EndpointIsReadBeforeEveryAttemptAndStateChangesAreLogged) {
  ScriptedServer server(
      Answering([](const RpcRequest& r) { return BuildResultResponse(r.id, {}); }));
  CentralClient client = MakeClient(server.port());
  EXPECT_FALSE(client.Connected());
  client.Connect();
  EXPECT_TRUE(client.Connected());
  EXPECT_TRUE(client.BaixaPedidos("0001", "001").IsEmpty());
  client.Disconnect();
  EXPECT_FALSE(client.Connected());
  client.Connect();
  EXPECT_EQ(endpoint_reads_, 2);
  EXPECT_EQ(client.host(), "127.0.0.1");
  EXPECT_EQ(client.port(), server.port());
  EXPECT_EQ(LogCount("Conectado no servidor."), 2);
  EXPECT_EQ(LogCount("Desconectado do servidor."), 1);
}

TEST_F(CentralClientTest, RefusedOrUnconfiguredServerLeavesTheClientDisconnected) {
  int closed_port = 0;
  {
    asio::io_context io;
    tcp::acceptor probe(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    closed_port = probe.local_endpoint().port();
  }
  CentralClient refused = MakeClient(closed_port);
  EXPECT_THROW(refused.Connect(), TransportError);
  EXPECT_FALSE(refused.Connected());
  EXPECT_EQ(refused.port(), closed_port);  // what the cycle's failure line names

  CentralClient unconfigured(log_, [] { return CentralEndpoint{}; });
  EXPECT_THROW(unconfigured.Connect(), TransportError);
  EXPECT_THROW(unconfigured.BaixaPedidos("0001", "001"), TransportError);
  EXPECT_FALSE(std::filesystem::exists(log_.FileFor(clock_.Now())));
}

TEST_F(CentralClientTest, ServerDroppingTheConnectionMidFrameFailsTheCallAndDisconnects) {
  ScriptedServer server([](tcp::socket& socket, ScriptedServer&) {
    ScriptedServer::ReadFrame(socket);
    // Announces 100 bytes, sends 10 and hangs up.
    ScriptedServer::WriteBytes(socket, EncodeFrame(std::string(100, 'x')).substr(0, 14));
  });
  CentralClient client = MakeClient(server.port());
  client.Connect();
  EXPECT_THROW(client.BaixaPedidos("0001", "001"), TransportError);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(LogCount("Desconectado do servidor."), 1);
  // The next call fails at once instead of reading from a dead socket.
  EXPECT_THROW(client.BaixaPedidos("0001", "001"), TransportError);
  EXPECT_EQ(LogCount("Desconectado do servidor."), 1);
}

TEST_F(CentralClientTest, SlowServerPastTheTimeOutFailsTheCallInsteadOfHanging) {
  ScriptedServer server([](tcp::socket& socket, ScriptedServer& self) {
    ScriptedServer::ReadFrame(socket);
    self.Stall();
  });
  CentralClient client = MakeClient(server.port(), 200ms);
  client.Connect();
  const auto started = std::chrono::steady_clock::now();
  try {
    client.BaixaPedidos("0001", "001");
    FAIL() << "a stalled server must fail the call";
  } catch (const TransportError& e) {
    EXPECT_NE(std::string(e.what()).find("tempo esgotado"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(LogCount("Desconectado do servidor."), 1);
}

TEST_F(CentralClientTest, MalformedAnswersFailTheCallAndDropTheConnection) {
  const std::string bad_payloads[] = {
      "{not json",
      R"({"jsonrpc":"2.0","id":99,"result":null})",  // answers another request
      R"({"jsonrpc":"2.0","id":1,"result":{"fields":[{"name":"A","type":"string"}],"rows":[["a","b"]]}})",
      R"({"jsonrpc":"2.0","id":1,"result":[{"fields":[{"name":"D","type":"datetime"}],"rows":[["31/12/2024"]]}]})",
  };
  int expected_disconnects = 0;
  for (const std::string& payload : bad_payloads) {
    ScriptedServer server([&payload](tcp::socket& socket, ScriptedServer&) {
      ScriptedServer::ReadFrame(socket);
      ScriptedServer::WriteBytes(socket, EncodeFrame(payload));
    });
    CentralClient client = MakeClient(server.port());
    client.Connect();
    EXPECT_THROW(client.BaixaPedidos("0001", "001"), ProtocolError) << payload;
    EXPECT_FALSE(client.Connected()) << payload;
    EXPECT_EQ(LogCount("Desconectado do servidor."), ++expected_disconnects) << payload;
  }
}

TEST_F(CentralClientTest, OverLimitFrameIsRefusedWithoutWaitingForIt) {
  ScriptedServer server([](tcp::socket& socket, ScriptedServer& self) {
    ScriptedServer::ReadFrame(socket);
    ScriptedServer::WriteBytes(socket, std::string("\x7F\xFF\xFF\xFF", 4));
    self.Stall();
  });
  CentralClient client = MakeClient(server.port(), 30s);
  client.Connect();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(client.BaixaPedidos("0001", "001"), ProtocolError);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_FALSE(client.Connected());
}

TEST_F(CentralClientTest, ServerErrorFailsOnlyThatCallAndKeepsTheConnection) {
  std::atomic<int> calls{0};
  ScriptedServer server(Answering([&calls](const RpcRequest& r) {
    if (calls++ == 0) return BuildErrorResponse(r.id, rpc_code::kServerError, "Loja bloqueada");
    return BuildResultResponse(r.id, Variant("Manutencao as 23h"));
  }));
  CentralClient client = MakeClient(server.port());
  client.Connect();
  try {
    client.BaixaPedidos("0001", "001");
    FAIL() << "an error answer must raise";
  } catch (const RemoteError& e) {
    EXPECT_STREQ(e.what(), "Loja bloqueada");
  }
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(client.BaixaPedidos("0001", "001").AsText(), "Manutencao as 23h");
  EXPECT_EQ(LogCount("Desconectado do servidor."), 0);
}

TEST_F(CentralClientTest, ArgumentsTravelInTheMethodTablesOrderAndReferencesStayPut) {
  std::vector<RpcRequest> seen;
  std::mutex seen_mutex;
  ScriptedServer server(Answering([&](const RpcRequest& r) {
    std::lock_guard lock(seen_mutex);
    seen.push_back(r);
    if (r.method == "ValidaProduto") return BuildResultResponse(r.id, Variant::Null());
    if (r.method == "AtualizaPedidos") {
      DataPacket answer{{{"NRVENDAREST", FieldType::String, 10},
                         {"NRVENDARESTAUX", FieldType::String, 10},
                         {"SGSEXOCON", FieldType::String, 1}},
                        {{Variant("15"), Variant("500001"), Variant("S")}}};
      return BuildResultResponse(r.id, Variant(std::vector<Variant>{Variant(), Variant(answer)}));
    }
    return BuildResultResponse(r.id, Variant());
  }));
  CentralClient client = MakeClient(server.port());
  client.Connect();

  std::string sale = "15", product = "10001";
  EXPECT_TRUE(client.ValidaProduto("0001", sale, "001", product).rows.empty());
  EXPECT_EQ(sale, "15");
  EXPECT_EQ(product, "10001");

  const DataPacket sales{{{"NRVENDAREST", FieldType::String, 10}}, {{Variant("15")}}};
  client.UpdateSincronismo(sales, DataPacket{});
  std::vector<Variant> slots = {Variant(sales),        Variant(DataPacket{}), Variant(DataPacket{}),
                                Variant(DataPacket{}), Variant(DataPacket{}), Variant("0001"),
                                Variant("001")};
  const Variant answer = client.AtualizaPedidos(slots);
  ASSERT_TRUE(answer.IsArray());
  EXPECT_EQ(answer.AsArray().at(1).AsPacket().rows.at(0).at(2).AsText(), "S");
  EXPECT_EQ(slots.size(), 7u);

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].method, "ValidaProduto");
  ASSERT_EQ(seen[0].params.size(), 4u);
  EXPECT_EQ(seen[0].params[0].AsText(), "0001");
  EXPECT_EQ(seen[0].params[1].AsText(), "15");
  EXPECT_EQ(seen[0].params[2].AsText(), "001");
  EXPECT_EQ(seen[0].params[3].AsText(), "10001");
  EXPECT_EQ(seen[1].method, "UpdateSincronismo");
  EXPECT_EQ(seen[1].params.at(0).AsPacket(), sales);
  EXPECT_EQ(seen[2].method, "AtualizaPedidos");
  ASSERT_EQ(seen[2].params.size(), 1u);  // one argument: the array of 7
  EXPECT_EQ(seen[2].params[0].AsArray().at(6).AsText(), "001");
}

// A store with a token names it first on TCP; a hub from before tokens answers "no such
// method" and serves on; a hub that refuses the token leaves the store disconnected.
TEST_F(CentralClientTest, OnTcpTheTokenGoesFirstAndAHubWithoutTokensStillServes) {
  struct Case {
    const char* hub;
    std::function<std::string(const RpcRequest&)> authenticate;
    bool connected;
  };
  const std::vector<Case> cases = {
      {"takes it", [](const RpcRequest& r) { return BuildResultResponse(r.id, {}); }, true},
      {"knows no tokens",
       [](const RpcRequest& r) {
         return BuildErrorResponse(r.id, rpc_code::kMethodNotFound, "unknown method Autentica");
       },
       true},
      {"refuses it",
       [](const RpcRequest& r) {
         return BuildErrorResponse(r.id, rpc_code::kNotAuthorized,
                                   "acesso não autorizado: token inválido ou revogado");
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hub);
    std::vector<RpcRequest> seen;
    std::mutex seen_mutex;
    ScriptedServer server(Answering([&](const RpcRequest& r) {
      std::lock_guard lock(seen_mutex);
      seen.push_back(r);
      return r.method == "Autentica" ? c.authenticate(r) : BuildResultResponse(r.id, {});
    }));
    CentralClient client = MakeClient(server.port(), 5s, "zlvt_secret");
    if (c.connected) {
      client.Connect();
      EXPECT_TRUE(client.BaixaPedidos("0001", "001").IsEmpty());
    } else {
      EXPECT_THROW(client.Connect(), RemoteError);
    }
    EXPECT_EQ(client.Connected(), c.connected);
    std::lock_guard lock(seen_mutex);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].method, "Autentica");
    EXPECT_EQ(seen[0].params.at(0).AsText(), "zlvt_secret");
    EXPECT_EQ(seen.size(), c.connected ? 2u : 1u);
  }
  EXPECT_EQ(LogCount("Conectado no servidor."), 2);
  EXPECT_EQ(LogCount("Desconectado do servidor."), 0);
}

// Over HTTPS each call is a POST of the same message with the token; an answer that is not
// 200 ends the session, and a 401 says why in the hub's words.
TEST_F(CentralClientTest, OverHttpsEachCallIsAPostWithTheTokenAndARefusalEndsTheSession) {
  test::TestHttpsServer server;
  const auto answer = [&server](int status, const std::string& body) {
    server.SetReply(status, body, "application/json");
  };
  EXPECT_THROW(HttpsClient(server, "").Connect(), TransportError) << "no token, no request";
  EXPECT_TRUE(server.requests().empty());

  CentralClient client = HttpsClient(server, "zlvt_secret");
  answer(200, R"({"jsonrpc":"2.0","id":1,"result":null})");
  client.Connect();
  answer(200, R"({"jsonrpc":"2.0","id":2,"result":"Manutencao as 23h"})");
  EXPECT_EQ(client.BaixaPedidos("0001", "001").AsText(), "Manutencao as 23h");
  const std::vector<test::ReceivedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const test::ReceivedRequest& request : requests) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/rpc");
    EXPECT_EQ(request.Header("Authorization"), "Bearer zlvt_secret");
    EXPECT_EQ(request.Header("Content-Type"), "application/json");
  }
  EXPECT_EQ(ParseRequest(requests[0].body).method, "Autentica");
  EXPECT_TRUE(ParseRequest(requests[0].body).params.empty());
  EXPECT_EQ(ParseRequest(requests[1].body).method, "BaixaPedidos");

  answer(401, R"({"jsonrpc":"2.0","id":3,"error":{"code":-32001,"message":"acesso não )"
              R"(autorizado: token inválido ou revogado"}})");
  try {
    client.BaixaPedidos("0001", "001");
    ADD_FAILURE() << "a refused token was taken for an answer";
  } catch (const RemoteError& e) {
    EXPECT_EQ(e.code(), rpc_code::kNotAuthorized);
    EXPECT_STREQ(e.what(), "acesso não autorizado: token inválido ou revogado");
  }
  EXPECT_FALSE(client.Connected());
  answer(503, "busy");
  try {
    client.Connect();
    ADD_FAILURE() << "a 503 was taken for an answer";
  } catch (const TransportError& e) {
    EXPECT_NE(std::string(e.what()).find("HTTP 503"), std::string::npos) << e.what();
  }
  EXPECT_EQ(LogCount("Conectado no servidor."), 1);
  EXPECT_EQ(LogCount("Desconectado do servidor."), 1);
}

// A certificate the store cannot trust stops the connection before anything is sent; one
// refused for its dates names the store's clock.
TEST_F(CentralClientTest, OverHttpsAnUntrustedOrOutOfDateCertificateSendsNothing) {
  using Certificate = test::TestHttpsServer::Certificate;
  for (const Certificate kind : {Certificate::kUntrusted, Certificate::kExpired}) {
    test::TestHttpsServer server(kind);
    CentralClient client = HttpsClient(server, "zlvt_secret");
    try {
      client.Connect();
      ADD_FAILURE() << "the certificate was accepted";
    } catch (const TransportError& e) {
      const bool names_clock =
          std::string(e.what()).find("confira a data e a hora") != std::string::npos;
      EXPECT_EQ(names_clock, kind == Certificate::kExpired) << e.what();
      EXPECT_EQ(std::string(e.what()).find("zlvt_secret"), std::string::npos);
    }
    EXPECT_TRUE(server.requests().empty());
  }
}

}  // namespace
}  // namespace zlv
