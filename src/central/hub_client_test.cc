// The channels' HTTP client against a hub that accepts the connection and then says nothing: the
// request must end at its time-out, not hang the demo or a channel.
#include "central/hub_client.h"

#include <gtest/gtest.h>

#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <stdexcept>

namespace zlv {
namespace {

TEST(HubClient, AHubThatNeverAnswersEndsTheRequestAtItsTimeOut) {
  boost::asio::io_context io;
  // Listening but never accepting: the system completes the connection, nobody reads.
  boost::asio::ip::tcp::acceptor silent(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
  HubClient client("http://127.0.0.1:" + std::to_string(silent.local_endpoint().port()), "k",
                   std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  try {
    client.Post("/v1/orders", "{}");
    FAIL() << "a silent hub was taken for an answer";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("did not answer /v1/orders"), std::string::npos)
        << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_THROW(HubClient("ftp://127.0.0.1:1", "k"), std::invalid_argument);
  EXPECT_THROW(HubClient("http://127.0.0.1", "k"), std::invalid_argument);
}

}  // namespace
}  // namespace zlv
