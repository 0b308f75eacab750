// Opening a listening TCP socket, as both of the hub's listeners do.
#pragma once

#include <string>
#include <utility>  // before Boost.Asio 1.74, whose awaitable.hpp misses it

#include <boost/asio/ip/tcp.hpp>

namespace zlv {

// Binds the acceptor to address:port (0: a free port the system picks) and listens. Throws
// boost::system::system_error when the address cannot be bound.
inline void ListenOn(boost::asio::ip::tcp::acceptor& acceptor, const std::string& address,
                     int port) {
  const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address(address),
                                                static_cast<unsigned short>(port));
  acceptor.open(endpoint.protocol());
  acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true));
  acceptor.bind(endpoint);
  acceptor.listen();
}

}  // namespace zlv
