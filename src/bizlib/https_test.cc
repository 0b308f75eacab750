#include "bizlib/https.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "support/https_server.h"

namespace zlv {
namespace {

using test::TestHttpsServer;

class HttpsTest : public ::testing::Test {
 protected:
  void TearDown() override { SetHttpsExtraCaFile(""); }

  static std::string Post(const std::string& url, const std::string& body,
                          const std::string& timeout = "10") {
    return RequisicaoHTTPS(url, body, "POST", "", timeout, "", "xml");
  }

  // The message of the HttpsError the call throws; fails the test when it throws none.
  template <typename F>
  static std::string ErrorOf(F&& call) {
    try {
      call();
    } catch (const HttpsError& e) {
      return e.what();
    }
    ADD_FAILURE() << "no HttpsError";
    return {};
  }
};

TEST_F(HttpsTest, PostDeliversTheExactBodyAsXmlAndReturnsTheReply) {
  TestHttpsServer server;
  SetHttpsExtraCaFile(server.ca_file().string());
  server.SetReply(200, "<retorno>OK</retorno>", "text/xml");
  const std::string order = "<?xml version=\"1.0\" encoding=\"windows-1252\"?><p>Jo\xE3o</p>";

  EXPECT_EQ(Post(server.url("/api/sendOrder"), order), "<retorno>OK</retorno>");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/api/sendOrder");
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
  EXPECT_EQ(requests[0].body, order);
}

TEST_F(HttpsTest, LargeBodyArrivesWholeWithoutWaitingForContinue) {
  TestHttpsServer server;
  SetHttpsExtraCaFile(server.ca_file().string());
  std::string body(200 * 1024, 'x');
  body[12345] = '\0';
  Post(server.url(), body);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].Header("Expect"), "");
}

TEST_F(HttpsTest, ErrorStatusStillGivesTheBodyToTheCaller) {
  TestHttpsServer server;
  SetHttpsExtraCaFile(server.ca_file().string());
  server.SetReply(500, "{\"erro\":\"pedido invalido\"}", "application/json");
  EXPECT_EQ(Post(server.url(), "<p/>"), "{\"erro\":\"pedido invalido\"}");
}

TEST_F(HttpsTest, CertificateOfAnUntrustedIssuerIsRefused) {
  TestHttpsServer server(TestHttpsServer::Certificate::kUntrusted);
  SetHttpsExtraCaFile(server.ca_file().string());
  const std::string error = ErrorOf([&] { Post(server.url(), "<p/>"); });
  EXPECT_NE(error.find(server.url()), std::string::npos) << error;
  EXPECT_TRUE(server.requests().empty()) << "the body went to an unverified server";
}

TEST_F(HttpsTest, SelfSignedCertificateIsRefusedWithoutTheExtraCa) {
  TestHttpsServer server;
  const std::string error = ErrorOf([&] { Post(server.url(), "<p/>"); });
  EXPECT_NE(error.find("certificate"), std::string::npos) << error;
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpsTest, SlowServerTimesOutAfterTheGivenSeconds) {
  TestHttpsServer server;
  SetHttpsExtraCaFile(server.ca_file().string());
  server.SetDelay(5);
  const auto start = std::chrono::steady_clock::now();
  const std::string error = ErrorOf([&] { Post(server.url(), "<p/>", "1"); });
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_NE(error.find(server.url()), std::string::npos) << error;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::milliseconds(4000));
}

TEST_F(HttpsTest, RefusedConnectionNamesTheAddress) {
  // A loopback port that was free a moment ago: nothing listens there.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  const std::string url = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

  const std::string error = ErrorOf([&] { Post(url, "<p/>"); });
  EXPECT_NE(error.find(url), std::string::npos) << error;
}

}  // namespace
}  // namespace zlv
