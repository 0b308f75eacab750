#include <windows.h>
// after <windows.h>, whose types it uses
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/https_transport.h"
#include "platform/win32_handle.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

struct InternetCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = win32::ScopedHandle<HINTERNET, InternetCloser>;

[[noreturn]] void Fail(const HttpsRequest& request, DWORD code, DWORD secure_flags = 0) {
  std::string cause;
  if (code == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID ||
      (code == ERROR_WINHTTP_SECURE_FAILURE &&
       (secure_flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) != 0)) {
    throw HttpsError(TransportErrorText(
        request, CertificateDateText() + " (" + win32::ErrorText(code, L"winhttp.dll") + ")"));
  }
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case ERROR_WINHTTP_OPERATION_CANCELLED:  // the deadline below closed the request
      cause = "tempo esgotado (" + std::to_string(request.timeout.count()) + " ms)";
      break;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
      cause = "certificado do servidor recusado: " + win32::ErrorText(code, L"winhttp.dll");
      break;
    case ERROR_WINHTTP_CANNOT_CONNECT:
      cause = "não foi possível conectar: " + win32::ErrorText(code, L"winhttp.dll");
      break;
    default:
      cause = win32::ErrorText(code, L"winhttp.dll");
  }
  throw HttpsError(TransportErrorText(request, cause));
}

// WinHTTP's own time-outs are per step (name look-up, connection, sending, each read); the
// request's time-out covers the whole of it, so a thread closes the request handle when the
// deadline passes, which ends whatever call is waiting on it.
class Deadline {
 public:
  Deadline(HINTERNET handle, std::chrono::milliseconds timeout) {
    watcher_ = std::thread([this, handle, timeout] {
      std::unique_lock lock(mutex_);
      if (!done_cv_.wait_for(lock, timeout, [this] { return done_; })) {
        expired_ = true;
        WinHttpCloseHandle(handle);
      }
    });
  }
  ~Deadline() { Finish(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // Stops the watch; true when the deadline had already closed the handle.
  bool Finish() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_one();
    if (watcher_.joinable()) watcher_.join();
    return expired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  bool expired_ = false;
  std::thread watcher_;
};

struct Target {
  bool secure = false;
  INTERNET_PORT port = 0;
  std::wstring host;
  std::wstring path;  // path and query
};

Target CrackUrl(const HttpsRequest& request) {
  const std::wstring url = win32::Widen(request.url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    throw HttpsError(TransportErrorText(request, "endereço inválido"));
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    throw HttpsError(TransportErrorText(request, "só http e https são aceitos"));
  }
  Target target;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.port = parts.nPort;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr)
    target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.path.empty()) target.path = L"/";
  return target;
}

// Reads the reply body into *reply; returns the system's error code, or NO_ERROR. A reply
// that would pass the limit stops the reading with *too_large set.
DWORD ReadReply(HINTERNET handle, std::size_t limit, std::string* reply, bool* too_large) {
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(handle, buffer, sizeof buffer, &read)) return GetLastError();
    if (read == 0) return NO_ERROR;
    if (reply->size() + read > limit) {
      *too_large = true;
      return NO_ERROR;
    }
    reply->append(buffer, read);
  }
}

// Collects what the certificate check found wrong, for the failure's text: WinHTTP tells a
// certificate refused for its dates only through this notice. Synchronous requests call it on
// the requesting thread; the request's context value points at the flags.
void CALLBACK OnSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                              DWORD length) {
  if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || context == 0 || information == nullptr ||
      length < sizeof(DWORD)) {
    return;
  }
  *reinterpret_cast<DWORD*>(context) |= *static_cast<DWORD*>(information);
}

InternetHandle OpenSession(const HttpsRequest& request, const std::string& proxy) {
  // Without a proxy of its own: the one the computer's WinHTTP settings name (netsh winhttp), or
  // none. A service running as the system account sees no user's proxy settings.
  const std::wstring proxy_name = win32::Widen(proxy);
  InternetHandle session(proxy.empty()
                             ? WinHttpOpen(L"ZlvSinc", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)
                             : WinHttpOpen(L"ZlvSinc", WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                           proxy_name.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) Fail(request, GetLastError());
  return session;
}

InternetHandle Connect(HINTERNET session, const HttpsRequest& request, const Target& target) {
  InternetHandle connection(WinHttpConnect(session, target.host.c_str(), target.port, 0));
  if (!connection) Fail(request, GetLastError());
  return connection;
}

// One request on the connection; `extra_headers` are "Name: value" lines ending in CR LF.
HttpsReply SendOn(HINTERNET connection, const Target& target, const HttpsRequest& request,
                  const std::wstring& extra_headers) {
  const std::wstring method = win32::Widen(request.method);
  InternetHandle handle(WinHttpOpenRequest(connection, method.c_str(), target.path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           target.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!handle) Fail(request, GetLastError());
  // Each step is bounded by the whole time-out as well: the deadline below is the rule, these
  // make a step give up by itself where closing the handle does not wake it at once.
  const int step_ms = static_cast<int>(request.timeout.count());
  WinHttpSetTimeouts(handle.get(), step_ms, step_ms, step_ms, step_ms);
  DWORD headers_ms = static_cast<DWORD>(step_ms);  // the wait for the reply's headers
  WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers_ms,
                   sizeof headers_ms);
  DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects,
                   sizeof no_redirects);
  DWORD secure_flags = 0;
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&secure_flags);
  WinHttpSetOption(handle.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
  WinHttpSetStatusCallback(handle.get(), OnSecureFailure, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);

  const std::wstring headers =
      L"Content-Type: " + win32::Widen(request.content_type) + L"\r\n" + extra_headers;
  const bool send_body = request.method != "GET";
  const DWORD body_size = send_body ? static_cast<DWORD>(request.body.size()) : 0;
  void* body = send_body && body_size > 0 ? const_cast<char*>(request.body.data()) : nullptr;

  Deadline deadline(handle.get(), request.timeout);
  HttpsReply reply;
  bool too_large = false;
  DWORD error = NO_ERROR;
  if (WinHttpSendRequest(handle.get(), headers.c_str(), static_cast<DWORD>(-1L), body, body_size,
                         body_size, 0) &&
      WinHttpReceiveResponse(handle.get(), nullptr)) {
    DWORD status = 0;
    DWORD status_size = sizeof status;
    if (WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
                            WINHTTP_NO_HEADER_INDEX)) {
      reply.status = static_cast<long>(status);
      error = ReadReply(handle.get(), request.max_reply_bytes, &reply.body, &too_large);
    } else {
      error = GetLastError();
    }
  } else {
    error = GetLastError();
  }
  if (deadline.Finish()) {
    (void)handle.release();  // the deadline closed it
    Fail(request, ERROR_WINHTTP_TIMEOUT);
  }
  if (too_large) throw HttpsError(ReplyTooLargeText(request));
  if (error != NO_ERROR) Fail(request, error, secure_flags);
  return reply;
}

void RefuseCaFile(const HttpsRequest& request) {
  if (!request.extra_ca_file.empty()) {
    throw HttpsError(TransportErrorText(
        request, "o Windows não usa arquivo de certificados (" + request.extra_ca_file +
                     "): instale a autoridade certificadora no repositório do computador"));
  }
}

}  // namespace

HttpsReply PerformHttpsRequest(const HttpsRequest& request) {
  RefuseCaFile(request);
  const Target target = CrackUrl(request);
  const InternetHandle session = OpenSession(request, "");
  const InternetHandle connection = Connect(session.get(), request, target);
  return SendOn(connection.get(), target, request, L"");
}

// WinHTTP keeps the connections of a session open between its requests by itself.
struct HttpsSession::Impl {
  HttpsSessionOptions options;
  std::wstring headers;
  InternetHandle session;
  InternetHandle connection;
  std::wstring host;  // of the connection
  INTERNET_PORT port = 0;
};

HttpsSession::HttpsSession(HttpsSessionOptions options) : impl_(std::make_unique<Impl>()) {
  for (const std::string& header : options.headers) {
    impl_->headers += win32::Widen(header) + L"\r\n";
  }
  impl_->options = std::move(options);
}

HttpsSession::~HttpsSession() = default;

HttpsReply HttpsSession::Post(const std::string& url, const std::string& body,
                              const std::string& content_type, std::chrono::milliseconds timeout) {
  const HttpsRequest request{url,
                             "POST",
                             body,
                             content_type,
                             timeout,
                             impl_->options.max_reply_bytes,
                             impl_->options.extra_ca_file};
  RefuseCaFile(request);
  const Target target = CrackUrl(request);
  if (!impl_->session) impl_->session = OpenSession(request, impl_->options.proxy);
  if (!impl_->connection || impl_->host != target.host || impl_->port != target.port) {
    impl_->connection = Connect(impl_->session.get(), request, target);
    impl_->host = target.host;
    impl_->port = target.port;
  }
  return SendOn(impl_->connection.get(), target, request, impl_->headers);
}

}  // namespace zlv::platform
