#include "bizlib/https.h"

#include <curl/curl.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>

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

struct CurlCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistFree>;

void AppendHeader(HeaderList& list, const std::string& header) {
  curl_slist* head = curl_slist_append(list.get(), header.c_str());
  if (head == nullptr) throw std::bad_alloc();
  (void)list.release();  // head is the old list grown by one, or a new list
  list.reset(head);
}

void GlobalInitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      throw HttpsError("Não foi possível iniciar a biblioteca HTTPS (curl_global_init)");
    }
  });
}

long TimeoutMilliseconds(const std::string& text) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds <= 0) {
    seconds = kDefaultTimeoutSeconds;
  }
  seconds = std::min(seconds, kMaxTimeoutSeconds);
  return std::max(1L, std::lround(seconds * 1000));
}

std::string ContentType(const std::string& kind) {
  if (SameText(kind, "xml")) return "text/xml";
  if (SameText(kind, "json")) return "application/json";
  return "text/plain";
}

struct Reply {
  std::string body;
  bool too_large = false;
};

size_t CollectReply(char* data, size_t size, size_t count, void* user) {
  auto* reply = static_cast<Reply*>(user);
  const size_t bytes = size * count;
  if (reply->body.size() + bytes > kMaxReplyBytes) {
    reply->too_large = true;
    return 0;  // aborts the transfer
  }
  try {
    reply->body.append(data, bytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return bytes;
}

template <typename T>
void Set(CURL* handle, CURLoption option, T value) {
  const CURLcode code = curl_easy_setopt(handle, option, value);
  if (code != CURLE_OK) {
    throw HttpsError(std::string("Opção HTTPS recusada pela biblioteca: ") +
                     curl_easy_strerror(code));
  }
}

}  // namespace

void SetHttpsExtraCaFile(std::string path) {
  std::lock_guard lock(extra_ca_mutex);
  extra_ca_file = std::move(path);
}

std::string RequisicaoHTTPS(const std::string& url, const std::string& body,
                            const std::string& method, const std::string& /*arg4*/,
                            const std::string& timeout_seconds, const std::string& /*arg6*/,
                            const std::string& content_kind) {
  GlobalInitOnce();
  CurlHandle handle(curl_easy_init());
  if (!handle) throw HttpsError("Não foi possível criar a requisição HTTPS para " + url);
  CURL* curl = handle.get();

  char error_text[CURL_ERROR_SIZE] = {};
  Reply reply;
  HeaderList headers;
  AppendHeader(headers, "Content-Type: " + ContentType(content_kind));
  // Without this curl waits for a "100 Continue" that many servers never send.
  AppendHeader(headers, "Expect:");

  Set(curl, CURLOPT_ERRORBUFFER, error_text);
  Set(curl, CURLOPT_URL, url.c_str());
  Set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  Set(curl, CURLOPT_NOSIGNAL, 1L);  // time-outs without signals: safe beside other threads
  Set(curl, CURLOPT_TIMEOUT_MS, TimeoutMilliseconds(timeout_seconds));
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  Set(curl, CURLOPT_HTTPHEADER, headers.get());
  Set(curl, CURLOPT_USERAGENT, "ZlvSinc");
  Set(curl, CURLOPT_WRITEFUNCTION, CollectReply);
  Set(curl, CURLOPT_WRITEDATA, &reply);
  {
    // The extra file is given as the CA bundle; the system's certificate folder (the build's
    // default CA path) stays in use beside it.
    std::lock_guard lock(extra_ca_mutex);
    if (!extra_ca_file.empty()) Set(curl, CURLOPT_CAINFO, extra_ca_file.c_str());
  }

  if (SameText(method, "GET")) {
    Set(curl, CURLOPT_HTTPGET, 1L);
  } else {
    Set(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    Set(curl, CURLOPT_POSTFIELDS, body.data());
    if (!method.empty() && !SameText(method, "POST"))
      Set(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  }

  const CURLcode result = curl_easy_perform(curl);
  if (reply.too_large) {
    throw HttpsError("Resposta grande demais de " + url + " (mais de " +
                     std::to_string(kMaxReplyBytes) + " bytes)");
  }
  if (result != CURLE_OK) {
    const std::string cause = error_text[0] != '\0' ? error_text : curl_easy_strerror(result);
    throw HttpsError("Erro na requisição HTTPS para " + url + ": " + cause);
  }
  return std::move(reply.body);
}

}  // namespace zlv
