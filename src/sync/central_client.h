// CentralClient (the form's `netSincronismo`): the connection to the central order server and
// its five methods, spoken in the JSON-RPC protocol of docs/protocol.md over framed TCP or over
// HTTPS (central_link.h).
//
// Connection state: Connect() asks the endpoint hook for the address, the installation's token
// and the proxy (the host side plugs LeIpServer in: they are read again before every attempt)
// and logs "Conectado no servidor." once connected. Over HTTPS, connecting is the `Autentica`
// call: the hub answering it proves it is there and takes the token. Over TCP a store that has
// a token sends `Autentica` first too, and a hub that does not know the method is taken as one
// that needs no token. Any I/O failure, time-out or malformed message from
// the server drops the connection and logs "Desconectado do servidor."; the synchronisation
// cycle connects again at its next tick. A JSON-RPC error answer fails the call but keeps the
// connection.
//
// Results: a null result comes back as an Empty variant ("nothing"), a text as Text (a server
// message), an array as Array, a data packet as Packet. A result is decoded completely before
// it is returned; a malformed one fails the call, so nothing half loaded is acted upon.
// Arguments passed by reference are never changed: this protocol has no way back for them.
//
// Owns its link. Main thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_packet.h"
#include "data/variant.h"
#include "store/central_calls.h"
#include "sync/central_link.h"
#include "sync/protocol_socket.h"

namespace zlv {

class ActivityLog;

struct CentralEndpoint {
  std::string host;  // over HTTPS the URL's, for messages
  int port = 0;
  std::string url;    // "https://…" for the HTTPS link; empty for framed TCP
  std::string token;  // the installation's, "" for none
  std::string proxy;  // for HTTPS; "" for the system's settings
};

// A framed TCP endpoint without a token.
inline CentralEndpoint TcpEndpoint(std::string host, int port) {
  CentralEndpoint endpoint;
  endpoint.host = std::move(host);
  endpoint.port = port;
  return endpoint;
}

// The port of an IpServer value without ":port".
inline constexpr int kDefaultCentralPort = 211;
// How long one exchange may take before the connection is given up.
inline constexpr std::chrono::milliseconds kDefaultCentralTimeout{60'000};

// The most item rows one order of a download may have (docs/protocol.md); a real order has a
// few dozen at most. A download over it is refused whole, as a malformed answer.
inline constexpr std::size_t kMaxItemsPerOrder = 1'000;

// Throws ProtocolError naming the bound when an order of a BaixaPedidos answer has more item
// rows than that; anything that is not a download passes.
void CheckItemsPerOrder(const Variant& download);

// IpServer is missing or cannot be read: nothing a new attempt would mend.
class CentralAddressError : public TransportError {
 public:
  using TransportError::TransportError;
};

class CentralClient : public CentralCalls {
 public:
  using EndpointHook = std::function<CentralEndpoint()>;

  CentralClient(ActivityLog& log, EndpointHook before_connect,
                std::chrono::milliseconds timeout = kDefaultCentralTimeout);
  ~CentralClient() override;
  CentralClient(const CentralClient&) = delete;
  CentralClient& operator=(const CentralClient&) = delete;

  // Reads the endpoint through the hook and connects (a connected client first disconnects).
  // Throws on failure with the reason (CentralAddressError when IpServer is missing or
  // malformed; RemoteError when the hub refuses the token); host() and port() then name what
  // was tried.
  void Connect();
  bool Connected() const;
  // Closes the connection; logs "Desconectado do servidor." when one was open.
  void Disconnect();
  const std::string& host() const { return endpoint_.host; }
  int port() const { return endpoint_.port; }

  // Pending orders of a store: Empty, a server message, or the array of 11 packets.
  Variant BaixaPedidos(const std::string& branch, const std::string& store);
  DataPacket ValidaProduto(const std::string& cdfilial, std::string& nrvendarest,
                           const std::string& cdloja, std::string& cdproduto) override;
  void UpdateSincronismo(const DataPacket& pedidos, const DataPacket& cancelados) override;
  // args: the 7 slots of the state upload. Empty, a server message, or an array whose
  // element 1 is the answer packet.
  Variant AtualizaPedidos(std::vector<Variant>& args);
  // args: the 2 slots of the history upload. The answer packet.
  Variant AtualizaHistPedCons(std::vector<Variant>& args);

  // One request; the decoded result. Throws RemoteError, ProtocolError or TransportError.
  // `check` looks at the result before it is returned; a ProtocolError from it fails the call
  // as a malformed answer does.
  using ResultCheck = std::function<void(const Variant&)>;
  Variant Call(std::string_view method, const std::vector<Variant>& params,
               const ResultCheck& check = {});

 private:
  ActivityLog& log_;
  EndpointHook before_connect_;
  std::chrono::milliseconds timeout_;
  // The link's own failures close it; a call that sees it closed drops the session.
  void Authenticate();

  CentralEndpoint endpoint_;
  std::unique_ptr<CentralLink> link_;
  bool announced_ = false;  // "Conectado no servidor." logged for this link
  int64_t next_id_ = 1;
};

}  // namespace zlv
