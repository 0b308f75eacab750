#include "bizlib/https.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

#include "bizlib/text.h"

namespace zlv {

namespace {

// The callers pass "10"; a text that is not a positive number of seconds gets the same ten
// seconds rather than no time-out at all, which would stall the synchronisation cycle.
constexpr double kDefaultTimeoutSeconds = 10;
// A day: anything longer is a typing error, not a wish to wait.
constexpr double kMaxTimeoutSeconds = 86400;
// A reply is a short status text; a larger one is not a reply of the router and is refused
// before it can exhaust the memory of the cash-register computer.
constexpr std::size_t kMaxReplyBytes = 16 * 1024 * 1024;

std::mutex extra_ca_mutex;
std::string extra_ca_file;

std::chrono::milliseconds Timeout(const std::string& text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds <= 0) {
    seconds = kDefaultTimeoutSeconds;
  }
  seconds = std::min(seconds, kMaxTimeoutSeconds);
  return std::chrono::milliseconds(std::max(1L, std::lround(seconds * 1000)));
}

std::string ContentType(const std::string& kind) {
  if (SameText(kind, "xml")) return "text/xml";
  if (SameText(kind, "json")) return "application/json";
  return "text/plain";
}

std::string Method(const std::string& method) {
  if (SameText(method, "GET")) return "GET";
  if (method.empty() || SameText(method, "POST")) return "POST";
  return method;
}

}  // namespace

void SetHttpsExtraCaFile(std::string path) {
  std::lock_guard lock(extra_ca_mutex);
  extra_ca_file = std::move(path);
}

std::string HttpsExtraCaFile() {
  std::lock_guard lock(extra_ca_mutex);
  return extra_ca_file;
}

std::string RequisicaoHTTPS(const std::string& url, const std::string& body,
                            const std::string& method, const std::string& arg4,
                            const std::string& timeout_seconds, const std::string& arg6,
                            const std::string& content_kind) {
  return RequisicaoHTTPSStatus(url, body, method, arg4, timeout_seconds, arg6, content_kind).body;
}

HttpsReply RequisicaoHTTPSStatus(const std::string& url, const std::string& body,
                                 const std::string& method, const std::string& /*arg4*/,
                                 const std::string& timeout_seconds, const std::string& /*arg6*/,
                                 const std::string& content_kind) {
  return RequisicaoHTTPSStatus(url, body, method, Timeout(timeout_seconds), content_kind);
}

HttpsReply RequisicaoHTTPSStatus(const std::string& url, const std::string& body,
                                 const std::string& method, std::chrono::milliseconds timeout,
                                 const std::string& content_kind) {
  HttpsRequest request;
  request.url = url;
  request.method = Method(method);
  request.body = body;
  request.content_type = ContentType(content_kind);
  request.timeout = timeout;
  request.max_reply_bytes = kMaxReplyBytes;
  {
    std::lock_guard lock(extra_ca_mutex);
    request.extra_ca_file = extra_ca_file;
  }
  return platform::PerformHttpsRequest(request);
}

}  // namespace zlv
