// The hub's HTTP listener with a real client on 127.0.0.1: requests on one kept-alive
// connection, and the problems a request that cannot be served gets.
#include "central/http_server.h"

#include <gtest/gtest.h>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>
#include <thread>

namespace zlv {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

class HttpServerTest : public ::testing::Test {
 protected:
  HttpServerTest() {
    server_.Start();
    thread_ = std::thread([this] { io_.run(); });
    stream_.connect(asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                            static_cast<unsigned short>(server_.port())));
  }
  ~HttpServerTest() override {
    asio::post(io_, [this] { server_.Stop(); });
    work_.reset();
    stream_.close();
    thread_.join();
  }

  http::response<http::string_body> Send(http::verb verb, const std::string& target,
                                         const std::string& body = "") {
    http::request<http::string_body> request{verb, target, 11};
    request.set(http::field::host, "hub");
    request.body() = body;
    request.prepare_payload();
    http::write(stream_, request);
    http::response<http::string_body> response;
    http::read(stream_, buffer_, response);
    return response;
  }

  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_{io_.get_executor()};
  std::vector<std::string> logged_;
  HttpServer server_{io_,
                     "127.0.0.1",
                     0,
                     [](const HttpRequest& request) {
                       if (request.target == "/echo") {
                         return HttpResponse{200, "application/json", request.body};
                       }
                       return ProblemResponse(
                           {404, "not-found", "Not found", "no resource " + request.target, "/id"},
                           request.request_id);
                     },
                     [this](const std::string& line) { logged_.push_back(line); },
                     HttpServerLimits{std::chrono::milliseconds(5000), 64, 1024, 10}};
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

}  // namespace
}  // namespace zlv
