// The TLS settings of the hub's HTTPS listener, built once at start-up from the operator's PEM
// files, so that a certificate that cannot be read or a key that does not belong to it stops
// the start instead of failing every handshake later.
//
// TLS 1.2 at least, the server's cipher order, no compression and no renegotiation (a client
// that renegotiates over and over costs the server's processor, and HTTP/1.1 never needs it).
#pragma once

#include <memory>
#include <string>
#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio/ssl/context.hpp>

namespace zlv {

// cert_file: the server's certificate followed by its chain; key_file: its private key, not
// encrypted (the hub starts unattended and asks nobody for a passphrase). Throws
// std::runtime_error naming the file and OpenSSL's reason.
std::unique_ptr<boost::asio::ssl::context> MakeServerTlsContext(const std::string& cert_file,
                                                                const std::string& key_file);

}  // namespace zlv
