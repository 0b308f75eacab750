// RequisicaoHTTPS: one HTTP(S) request, the reply body returned as text.
//
// Arguments as the callers pass them: address, body, method ("POST"), an empty text, the
// time-out in seconds as text ("10"), an empty text, and the body kind ("xml": text/xml;
// "json": application/json; anything else: text/plain). Certificates are verified.
// A transport failure (refused, time-out, bad certificate, ...) throws HttpsError with a
// message naming the address and the cause. Thread-safe.
#pragma once

#include <stdexcept>
#include <string>

namespace zlv {

class HttpsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Extra trust for tests and stores with a private router certificate: a PEM file of CA
// certificates added to the system's. Empty: the system's store only.
void SetHttpsExtraCaFile(std::string path);

std::string RequisicaoHTTPS(const std::string& url, const std::string& body,
                            const std::string& method, const std::string& arg4,
                            const std::string& timeout_seconds, const std::string& arg6,
                            const std::string& content_kind);

}  // namespace zlv
