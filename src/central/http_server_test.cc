// The hub's HTTP listener with a real client on 127.0.0.1: requests on one kept-alive
// connection, and the problems a request that cannot be served gets; the same over TLS with a
// certificate made for the test.
#include "central/http_server.h"

#include <gtest/gtest.h>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <nlohmann/json.hpp>
#include <thread>

#include "central/hub_client.h"
#include "support/https_server.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

using namespace std::chrono_literals;

class HttpServerTest : public ::testing::Test {
 protected:
  explicit HttpServerTest(const std::optional<TlsFiles>& tls = {},
                          HttpServerLimits limits = {5000ms, 64, 1024, 10, "", 0})
      : server_(
            io_, "127.0.0.1", 0,
            [](const HttpRequest& request) {
              if (request.target == "/echo") {
                return HttpResponse{200, "application/json", request.body};
              }
              return ProblemResponse(
                  {404, "not-found", "Not found", "no resource " + request.target, "/id"},
                  request.request_id);
            },
            [this](const std::string& line) { logged_.push_back(line); }, limits, tls) {
    server_.Start();
    thread_ = std::thread([this] { io_.run(); });
    stream_.connect(endpoint());
  }
  ~HttpServerTest() override {
    asio::post(io_, [this] { server_.Stop(); });
    work_.reset();
    stream_.close();
    thread_.join();
  }

  asio::ip::tcp::endpoint endpoint() const {
    return {asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(server_.port())};
  }

  template <class Stream>
  http::response<http::string_body> Send(Stream& stream, http::verb verb, const std::string& target,
                                         const std::string& body = "") {
    http::request<http::string_body> request{verb, target, 11};
    request.set(http::field::host, "hub");
    request.body() = body;
    request.prepare_payload();
    http::write(stream, request);
    http::response<http::string_body> response;
    http::read(stream, buffer_, response);
    return response;
  }
  http::response<http::string_body> Send(http::verb verb, const std::string& target,
                                         const std::string& body = "") {
    return Send(stream_, verb, target, body);
  }

  asio::io_context io_;
  std::vector<std::string> logged_;
  asio::executor_work_guard<asio::io_context::executor_type> work_{io_.get_executor()};
  HttpServer server_;
  std::thread thread_;
  asio::io_context client_io_;
  beast::tcp_stream stream_{client_io_};
  beast::flat_buffer buffer_;
};

TEST_F(HttpServerTest, RequestsShareOneConnectionAndAProblemCarriesTheRequestId) {
  const auto echoed = Send(http::verb::post, "/echo", R"({"a":1})");
  EXPECT_EQ(echoed.result_int(), 200u);
  EXPECT_EQ(echoed.body(), R"({"a":1})");

  const auto missing = Send(http::verb::get, "/v1/nothing");
  EXPECT_EQ(missing.result_int(), 404u);
  EXPECT_EQ(missing[http::field::content_type], "application/problem+json");
  const auto problem = nlohmann::json::parse(missing.body());
  EXPECT_EQ(problem["type"], "/problems/not-found");
  EXPECT_EQ(problem["status"], 404);
  EXPECT_EQ(problem["errors"][0]["pointer"], "/id");
  EXPECT_EQ(problem["retryable"], false);
  const std::string id(missing["X-Request-Id"]);
  EXPECT_EQ(problem["request_id"], id);
  EXPECT_EQ(id.size(), 16u);
  EXPECT_NE(id, std::string(echoed["X-Request-Id"]));
  // The line support finds by the id the channel quotes.
  EXPECT_EQ(Send(http::verb::post, "/echo", "{}").body(), "{}");
  ASSERT_EQ(logged_.size(), 1u);
  EXPECT_EQ(logged_[0], "request " + id + ": 404 GET /v1/nothing");
}

TEST_F(HttpServerTest, ABodyOverTheLimitIsRefusedAndTheConnectionClosed) {
  const auto refused = Send(http::verb::post, "/echo", std::string(65, 'x'));
  EXPECT_EQ(refused.result_int(), 413u);
  EXPECT_EQ(nlohmann::json::parse(refused.body())["type"], "/problems/body-too-large");
  EXPECT_FALSE(refused.keep_alive());
  beast::error_code ec;
  http::response<http::string_body> none;
  http::read(stream_, buffer_, none, ec);
  EXPECT_TRUE(ec);
}

// A certificate for 127.0.0.1, made once for the test program.
const test::TempDir& CertificateFolder() {
  static const test::TempDir folder = [] {
    test::TempDir made("zlv-http-tls");
    test::MakeTestCertificate(made.path(), "hub", "/CN=127.0.0.1");
    return made;
  }();
  return folder;
}

// The same server with the certificate, and a short idle limit for the handshake that never
// comes.
class HttpsServerTest : public HttpServerTest {
 protected:
  HttpsServerTest()
      : HttpServerTest(TlsFiles{(CertificateFolder().path() / "hub.pem").string(),
                                (CertificateFolder().path() / "hub.key").string()},
                       {1000ms, 64, 1024, 10, "", 0}) {
    client_tls_.load_verify_file((CertificateFolder().path() / "hub.pem").string());
    client_tls_.set_verify_mode(asio::ssl::verify_peer);
  }

  // A client that trusts the test's certificate, connected and through its handshake.
  std::unique_ptr<beast::ssl_stream<beast::tcp_stream>> ConnectTls() {
    auto stream = std::make_unique<beast::ssl_stream<beast::tcp_stream>>(client_io_, client_tls_);
    beast::get_lowest_layer(*stream).expires_after(10s);
    beast::get_lowest_layer(*stream).connect(endpoint());
    stream->set_verify_callback(asio::ssl::host_name_verification("127.0.0.1"));
    stream->handshake(asio::ssl::stream_base::client);
    return stream;
  }

  // What came on the plain connection until the server closed it; `ec` says how it ended
  // (beast::error::timeout: still open after 10 s).
  std::string ReadUntilClosed(beast::error_code& ec) {
    std::string got;
    char chunk[512];
    stream_.expires_after(10s);
    while (!ec) {
      stream_.async_read_some(asio::buffer(chunk), [&](beast::error_code e, std::size_t n) {
        got.append(chunk, n);
        ec = e;
      });
      client_io_.restart();
      client_io_.run();
    }
    return got;
  }

  asio::ssl::context client_tls_{asio::ssl::context::tls_client};
};

TEST_F(HttpsServerTest, RequestsShareOneTlsConnection) {
  const auto tls = ConnectTls();
  EXPECT_EQ(Send(*tls, http::verb::post, "/echo", R"({"a":1})").body(), R"({"a":1})");
  const auto missing = Send(*tls, http::verb::get, "/v1/nothing");
  EXPECT_EQ(missing.result_int(), 404u);
  EXPECT_EQ(nlohmann::json::parse(missing.body())["request_id"],
            std::string(missing["X-Request-Id"]));
}

TEST_F(HttpsServerTest, APlainClientIsNotAnsweredAndTheServerGoesOn) {
  http::request<http::string_body> request{http::verb::get, "/echo", 11};
  http::write(stream_, request);
  beast::error_code ec;
  EXPECT_EQ(ReadUntilClosed(ec).find("HTTP/"), std::string::npos);
  EXPECT_TRUE(ec && ec != beast::error::timeout) << ec.message();

  const auto tls = ConnectTls();
  EXPECT_EQ(Send(*tls, http::verb::post, "/echo", "{}").body(), "{}");
}

TEST_F(HttpsServerTest, AClientThatNeverHandshakesIsClosedAfterTheIdleLimit) {
  const auto start = std::chrono::steady_clock::now();
  beast::error_code ec;
  EXPECT_EQ(ReadUntilClosed(ec), "");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(ec, asio::error::eof) << ec.message();
  EXPECT_GE(waited, 900ms);
  EXPECT_LT(waited, 5s);
}

// The channels' client over https: the hub's certificate must chain to a CA it trusts.
TEST_F(HttpsServerTest, TheHubClientVerifiesTheHubsCertificate) {
  const std::string url = "https://127.0.0.1:" + std::to_string(server_.port());
  const std::string ca = (CertificateFolder().path() / "hub.pem").string();
  EXPECT_EQ(HubClient(url, "k", 10s, ca).Post("/echo", R"({"b":2})").body, R"({"b":2})");
  try {
    HubClient(url, "k", 10s).Get("/echo");
    ADD_FAILURE() << "an untrusted certificate was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("TLS handshake"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace zlv
