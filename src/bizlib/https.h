// RequisicaoHTTPS: one HTTP(S) request, the reply body returned as text.
//
// Arguments as the callers pass them: address, body, method ("POST"), an empty text, the
// time-out in seconds as text ("10"), an empty text, and the body kind ("xml": text/xml;
// "json": application/json; anything else: text/plain; any letter case).
// - Method "GET" sends no body; any other sends the body (an empty method means "POST").
// - The time-out covers the whole request, connection included; a text that is not a positive
//   number means 10 seconds. The fourth and sixth arguments are not used.
// - Only http and https addresses; redirects are not followed.
// - Certificates and host names are verified against the system's CAs (plus the extra file;
//   Windows takes no file: see platform/https_transport.h).
// - The reply body is returned whatever the HTTP status; RequisicaoHTTPSStatus gives the
//   status beside it, for a caller that must tell an acceptance from an error page.
// A transport failure (refused, time-out, bad certificate, a reply over 16 MiB, ...) throws
// HttpsError with a message naming the address and the cause.
//
// Thread-safe.
#pragma once

#include <chrono>
#include <string>

#include "platform/https_transport.h"  // HttpsError

namespace zlv {

// Extra trust for tests and stores with a private router certificate: a PEM file of CA
// certificates added to the system's. Empty: the system's store only.
void SetHttpsExtraCaFile(std::string path);
std::string HttpsExtraCaFile();

std::string RequisicaoHTTPS(const std::string& url, const std::string& body,
                            const std::string& method, const std::string& arg4,
                            const std::string& timeout_seconds, const std::string& arg6,
                            const std::string& content_kind);
HttpsReply RequisicaoHTTPSStatus(const std::string& url, const std::string& body,
                                 const std::string& method, const std::string& arg4,
                                 const std::string& timeout_seconds, const std::string& arg6,
                                 const std::string& content_kind);
// The same with the time-out as a duration, for a caller that holds one rather than a text.
HttpsReply RequisicaoHTTPSStatus(const std::string& url, const std::string& body,
                                 const std::string& method, std::chrono::milliseconds timeout,
                                 const std::string& content_kind);

}  // namespace zlv
