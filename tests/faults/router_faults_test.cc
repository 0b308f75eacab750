// The delivery router when nothing listens at its address (the router's machine is up but its
// service is down): the dispatch fails at once with the address in the log, and the orders are
// offered again once the router is back. Slow answers, refusals and bad certificates are
// covered by tests/router.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "router/router_dispatch.h"
#include "router/router_fixture.h"

namespace zlv::test {
namespace {

// A loopback port that was free a moment ago and has no listener now.
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

TEST_F(RouterTest, RefusedConnectionFailsAtOnceAndTheOrderIsOfferedAgain) {
  AddOrder("0000000301", "0000000401");
  AddPayment("0000000301", "1", "001", "E", 10);
  const std::string refused = "https://127.0.0.1:" + std::to_string(ClosedPort());
  SetRouterAddress(refused);

  const auto started = std::chrono::steady_clock::now();
  EnviarPedidoRot(services_);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  const std::string last = LogMessages().back();
  EXPECT_TRUE(last.starts_with("ERRO: ")) << last;
  EXPECT_NE(last.find(refused + "/sendOrder"), std::string::npos) << last;
  EXPECT_EQ(RouterState("0000000401").first, "");

  SetRouterAddress(server_.url(""));
  EnviarPedidoRot(services_);
  EXPECT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(RouterState("0000000401").first, "S");
}

}  // namespace
}  // namespace zlv::test
