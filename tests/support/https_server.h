// TestHttpsServer: a real HTTPS server on 127.0.0.1 for tests of code that posts to a web
// service (the router dispatch, the HTTPS request). At construction it makes a self-signed
// certificate for 127.0.0.1 and localhost with the openssl command, starts https_server.py on
// a free loopback port and waits until it listens; the destructor stops it and removes its
// files. Tests read what it received and choose what it answers.
//
// Certificate::kUntrusted makes ca_file() another CA than the one that signed the server's
// certificate, for tests of a refused certificate; kExpired gives the server a certificate
// that expired in 2020 (ca_file() is that certificate), as a store whose clock is wrong sees it.
//
// POSIX (needs python3 and openssl on the PATH). Use from the test's thread; the server
// itself answers requests from any thread or process.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace zlv::test {

struct ReceivedRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // exactly the bytes sent

  // The first header of that name (any case); empty when absent.
  std::string Header(std::string_view name) const;
};

// Writes folder/name.pem, a self-signed certificate for 127.0.0.1 and localhost with the
// subject given ("/CN=..."), and its unencrypted key folder/name.key. Throws
// std::runtime_error with openssl's output when it fails.
void MakeTestCertificate(const std::filesystem::path& folder, const std::string& name,
                         const std::string& subject);

// The same, valid from 1 to 2 January 2020 only.
void MakeExpiredTestCertificate(const std::filesystem::path& folder, const std::string& name);

class TestHttpsServer {
 public:
  enum class Certificate { kTrusted, kUntrusted, kExpired };

  explicit TestHttpsServer(Certificate certificate = Certificate::kTrusted);
  ~TestHttpsServer();
  TestHttpsServer(const TestHttpsServer&) = delete;
  TestHttpsServer& operator=(const TestHttpsServer&) = delete;
  TestHttpsServer(TestHttpsServer&& other) noexcept;
  TestHttpsServer& operator=(TestHttpsServer&& other) noexcept;

  int port() const { return port_; }
  // "https://127.0.0.1:<port>" followed by path.
  std::string url(std::string_view path = "/") const;
  // The PEM file a client should trust (see Certificate).
  const std::filesystem::path& ca_file() const { return ca_file_; }

  // What every following request is answered with (default: 200, empty text/plain body).
  void SetReply(int status, std::string body, std::string content_type = "text/plain");
  // How long the server waits before answering each following request.
  void SetDelay(double seconds);

  // Every request received so far, in arrival order. A request is recorded before it is
  // answered, so a client that has its answer (or gave up waiting) finds it here.
  std::vector<ReceivedRequest> requests() const;

 private:
  void WriteReply() const;
  void Stop() noexcept;

  TempDir folder_;
  std::filesystem::path ca_file_;
  pid_t pid_ = -1;
  int port_ = 0;
  int status_ = 200;
  std::string body_;
  std::string content_type_ = "text/plain";
  double delay_ = 0;
};

}  // namespace zlv::test
