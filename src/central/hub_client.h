// HubClient: a channel's side of the hub's HTTP API (docs/hub-api.md), for the order generator
// and the demo. Synchronous: each request opens a connection, sends, reads the answer and
// closes, all within one time-out, so a hub that stalls ends the request with an error instead
// of hanging the caller.
//
// Over https the hub's certificate is verified against the system's CAs and, when given, a
// PEM file of further CAs (a hub with a private CA); there is no way to skip the check.
// Not thread-safe; one object per thread.
#pragma once

#include <chrono>
#include <string>

namespace zlv {

struct HubAnswer {
  int status = 0;
  std::string content_type;
  std::string body;
};

class HubClient {
 public:
  // `url`: "http://HOST:PORT" or "https://HOST:PORT" (a path after it prefixes every target).
  // Throws std::invalid_argument for a URL it cannot use.
  HubClient(const std::string& url, std::string key,
            std::chrono::milliseconds timeout = std::chrono::seconds(30), std::string ca_file = "");

  // Throws std::runtime_error naming the hub when it cannot be reached or does not answer in
  // time; any HTTP status is an answer.
  HubAnswer Post(const std::string& target, const std::string& json_body);
  HubAnswer Get(const std::string& target);

  const std::string& url() const { return url_; }

 private:
  HubAnswer Send(bool post, const std::string& target, const std::string& body);

  std::string url_, host_, port_, base_path_, key_, ca_file_;
  bool tls_ = false;
  std::chrono::milliseconds timeout_;
};

}  // namespace zlv
