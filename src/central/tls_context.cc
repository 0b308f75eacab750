#include "central/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>
#include <system_error>

namespace zlv {

namespace {

// Forward secrecy and authenticated encryption only, for the TLS 1.2 clients; TLS 1.3 has its
// own list, which OpenSSL keeps sound by default.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

// OpenSSL's reason for the last failure: the first error on its queue, the cause ("No such
// file or directory", "no start line", "key values mismatch"); the ones after it only say
// which routine gave up.
std::string OpenSslReason() {
  const unsigned long code = ERR_peek_error();
  std::string reason = "unknown reason";
  if (ERR_SYSTEM_ERROR(code)) {
    reason = std::generic_category().message(static_cast<int>(ERR_GET_REASON(code)));
  } else if (const char* text = ERR_reason_error_string(code)) {
    reason = text;
  }
  ERR_clear_error();
  return reason;
}

// An encrypted key fails to load instead of asking on the terminal.
int NoPassphrase(char*, int, int, void*) { return 0; }

}  // namespace

std::unique_ptr<boost::asio::ssl::context> MakeServerTlsContext(const std::string& cert_file,
                                                                const std::string& key_file) {
  namespace ssl = boost::asio::ssl;
  auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
  SSL_CTX* native = context->native_handle();
  ERR_clear_error();
  if (SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION) != 1 ||
      SSL_CTX_set_cipher_list(native, kTls12Ciphers) != 1) {
    throw std::runtime_error("cannot set up TLS: " + OpenSslReason());
  }
  SSL_CTX_set_options(native, SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION |
                                  SSL_OP_NO_RENEGOTIATION | SSL_OP_SINGLE_ECDH_USE);
  SSL_CTX_set_default_passwd_cb(native, NoPassphrase);
  if (SSL_CTX_use_certificate_chain_file(native, cert_file.c_str()) != 1) {
    throw std::runtime_error("cannot load the TLS certificate " + cert_file + ": " +
                             OpenSslReason());
  }
  if (SSL_CTX_use_PrivateKey_file(native, key_file.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(native) != 1) {
    throw std::runtime_error("cannot use the TLS key " + key_file + ": " + OpenSslReason() +
                             " (with the certificate " + cert_file + ")");
  }
  return context;
}

}  // namespace zlv
