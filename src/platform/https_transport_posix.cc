#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <new>

#include "platform/https_transport.h"

namespace zlv::platform {

namespace {

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

struct Reply {
  std::string body;
  std::size_t limit = 0;
  bool too_large = false;
};

size_t CollectReply(char* data, size_t size, size_t count, void* user) {
  auto* reply = static_cast<Reply*>(user);
  const size_t bytes = size * count;
  if (reply->body.size() + bytes > reply->limit) {
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

// X509_V_ERR_CERT_NOT_YET_VALID and X509_V_ERR_CERT_HAS_EXPIRED, as libcurl reports OpenSSL's
// verification result (not included: this file does not depend on OpenSSL's headers).
constexpr long kCertNotYetValid = 9;
constexpr long kCertHasExpired = 10;

// One request on the handle, whose other options (a connection it keeps) are left as they are.
HttpsReply Perform(CURL* curl, const HttpsRequest& request, const HttpsSessionOptions& session) {
  char error_text[CURL_ERROR_SIZE] = {};
  Reply reply;
  reply.limit = request.max_reply_bytes;
  HeaderList headers;
  AppendHeader(headers, "Content-Type: " + request.content_type);
  // Without this curl waits for a "100 Continue" that many servers never send.
  AppendHeader(headers, "Expect:");
  for (const std::string& header : session.headers) AppendHeader(headers, header);

  Set(curl, CURLOPT_ERRORBUFFER, error_text);
  Set(curl, CURLOPT_URL, request.url.c_str());
  Set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  Set(curl, CURLOPT_NOSIGNAL, 1L);  // time-outs without signals: safe beside other threads
  Set(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  Set(curl, CURLOPT_HTTPHEADER, headers.get());
  Set(curl, CURLOPT_USERAGENT, "ZlvSinc");
  Set(curl, CURLOPT_WRITEFUNCTION, CollectReply);
  Set(curl, CURLOPT_WRITEDATA, &reply);
  // The extra file is given as the CA bundle; the system's certificate folder (the build's
  // default CA path) stays in use beside it.
  if (!request.extra_ca_file.empty()) Set(curl, CURLOPT_CAINFO, request.extra_ca_file.c_str());
  // Without a proxy of its own, libcurl's default: the environment's (https_proxy, no_proxy).
  if (!session.proxy.empty()) Set(curl, CURLOPT_PROXY, session.proxy.c_str());

  if (request.method == "GET") {
    Set(curl, CURLOPT_HTTPGET, 1L);
  } else {
    Set(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    Set(curl, CURLOPT_POSTFIELDS, request.body.data());
    if (request.method != "POST") Set(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }

  const CURLcode result = curl_easy_perform(curl);
  // The handle outlives this call in a session: nothing of this frame may stay in it.
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  if (reply.too_large) throw HttpsError(ReplyTooLargeText(request));
  if (result != CURLE_OK) {
    std::string cause = error_text[0] != '\0' ? error_text : curl_easy_strerror(result);
    long verified = 0;
    if (result == CURLE_PEER_FAILED_VERIFICATION &&
        curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verified) == CURLE_OK &&
        (verified == kCertNotYetValid || verified == kCertHasExpired)) {
      cause = CertificateDateText() + " (" + cause + ")";
    }
    throw HttpsError(TransportErrorText(request, cause));
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return {status, std::move(reply.body)};
}

CurlHandle NewHandle(const std::string& url) {
  GlobalInitOnce();
  CurlHandle handle(curl_easy_init());
  if (!handle) throw HttpsError("Não foi possível criar a requisição HTTPS para " + url);
  return handle;
}

}  // namespace

HttpsReply PerformHttpsRequest(const HttpsRequest& request) {
  const CurlHandle handle = NewHandle(request.url);
  return Perform(handle.get(), request, HttpsSessionOptions{});
}

struct HttpsSession::Impl {
  HttpsSessionOptions options;
  CurlHandle handle;  // keeps the connection between requests
};

HttpsSession::HttpsSession(HttpsSessionOptions options)
    : impl_(std::make_unique<Impl>(Impl{std::move(options), nullptr})) {}

HttpsSession::~HttpsSession() = default;

HttpsReply HttpsSession::Post(const std::string& url, const std::string& body,
                              const std::string& content_type, std::chrono::milliseconds timeout) {
  if (!impl_->handle) impl_->handle = NewHandle(url);
  const HttpsRequest request{url,
                             "POST",
                             body,
                             content_type,
                             timeout,
                             impl_->options.max_reply_bytes,
                             impl_->options.extra_ca_file};
  return Perform(impl_->handle.get(), request, impl_->options);
}

}  // namespace zlv::platform
