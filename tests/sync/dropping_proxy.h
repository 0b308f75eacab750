// DroppingProxy: a TCP relay on 127.0.0.1 between the synchroniser and the reference central
// server that can drop the connection the moment a chosen method is requested, as a server
// that goes away in the middle of a run: the request never reaches the server and the client
// sees its connection closed. Later connections are relayed normally. It can also rewrite the
// server's answers to a method, as a server that sends malformed or unexpected data.
//
// Over HTTPS (the second constructor) the same happens to the store protocol's POSTs: the relay
// answers the client's TLS with the hub's certificate and posts each request body, with the
// client's own Authorization header, to the hub's /rpc, one request per connection; a dropped
// request closes the client's connection without an answer.
//
// Runs its own thread; the test thread arms it. POSIX sockets (Linux test host).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zlv::test {

class DroppingProxy {
 public:
  explicit DroppingProxy(int upstream_port);
  struct Https {
    std::string upstream_url;  // "https://127.0.0.1:PORT", the hub's HTTPS port
    std::string cert_file, key_file;
    std::string ca_file;  // trusted for the upstream's certificate
  };
  explicit DroppingProxy(Https https);
  ~DroppingProxy();
  DroppingProxy(const DroppingProxy&) = delete;
  DroppingProxy& operator=(const DroppingProxy&) = delete;

  int port() const { return port_; }
  // The next request for this method closes the connection instead of reaching the server.
  void DropNextRequestFor(std::string method);
  int drops() const { return drops_; }

  // Every answer to this method reaches the client as rewrite(the server's frame payload),
  // until cleared with an empty method. The rewrite runs on the proxy's thread.
  using Rewrite = std::function<std::string(const std::string& payload)>;
  void RewriteAnswersTo(std::string method, Rewrite rewrite);

  // Runs on the proxy's thread with every request before it goes on to the server, while the
  // client waits for its answer; an empty function stops it.
  using Watch = std::function<void(const std::string& request)>;
  void WatchRequests(Watch watch);

 private:
  void Serve();
  void Relay(int client);
  void RelayHttps(int client);
  void Listen();
  bool ShouldDrop(const std::string& request);
  std::string Answer(const std::string& request, std::string payload);
  void Watched(const std::string& request);

  int upstream_port_ = 0;
  std::optional<Https> https_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> drops_{0};
  std::mutex mutex_;
  std::string armed_method_;
  std::string rewritten_method_;
  Rewrite rewrite_;
  Watch watch_;
  std::thread thread_;
};

}  // namespace zlv::test
