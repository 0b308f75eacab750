#include "sync/central_client.h"

#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "log/activity_log.h"
#include "store/download_sets.h"
#include "sync/protocol_json.h"
#include "sync/protocol_rpc.h"

namespace zlv {

CentralClient::CentralClient(ActivityLog& log, EndpointHook before_connect,
                             std::chrono::milliseconds timeout)
    : log_(log), before_connect_(std::move(before_connect)), timeout_(timeout) {}

CentralClient::~CentralClient() = default;

void CentralClient::Connect() {
  if (link_) Disconnect();
  endpoint_ = CentralEndpoint{};
  try {
    if (before_connect_) endpoint_ = before_connect_();
  } catch (const std::invalid_argument& e) {
    throw CentralAddressError(e.what());
  }
  if (endpoint_.host.empty())
    throw CentralAddressError("endereço do servidor central não configurado (IpServer)");
  if (!endpoint_.url.empty() && endpoint_.token.empty()) {
    throw TransportError(
        "o servidor central por HTTPS exige o token da instalação: configure o valor Token");
  }
  link_ = endpoint_.url.empty() ? OpenFramedLink(endpoint_.host, endpoint_.port, timeout_)
                                : OpenHttpsLink(endpoint_.url, endpoint_.token, endpoint_.proxy);
  next_id_ = 1;
  try {
    Authenticate();
  } catch (...) {
    link_.reset();  // never connected: nothing to log as a disconnection
    throw;
  }
  log_.GravaLog("Conectado no servidor.");
  announced_ = true;
}

void CentralClient::Authenticate() {
  if (!endpoint_.url.empty()) {
    Call(kAuthenticateMethod, {});  // the token rides in the header
    return;
  }
  if (endpoint_.token.empty()) return;
  try {
    Call(kAuthenticateMethod, {Variant(endpoint_.token)});
  } catch (const RemoteError& e) {
    // A hub from before tokens: it serves as it always did.
    if (e.code() != rpc_code::kMethodNotFound) throw;
  }
}

bool CentralClient::Connected() const { return link_ && link_->IsOpen(); }

void CentralClient::Disconnect() {
  if (!link_) return;
  link_.reset();
  if (announced_) log_.GravaLog("Desconectado do servidor.");
  announced_ = false;
}

// The item rows of each order of a download (packet 4, by CDFILIAL + NRVENDAREST).
void CheckItemsPerOrder(const Variant& result) {
  constexpr std::size_t kItems = 4;
  if (!result.IsArray() || result.AsArray().size() <= kItems) return;
  const Variant& slot = result.AsArray()[kItems];
  if (!slot.IsPacket()) return;  // refused by BaixaPedidos with its own message
  const DataPacket& items = slot.AsPacket();
  const int branch = items.FieldIndex("CDFILIAL"), sale = items.FieldIndex("NRVENDAREST");
  if (sale < 0) return;
  std::unordered_map<std::string, std::size_t> per_order;
  for (const auto& row : items.rows) {
    std::string order = row[static_cast<std::size_t>(sale)].AsText();
    if (branch >= 0) order = row[static_cast<std::size_t>(branch)].AsText() + "/" + order;
    if (++per_order[order] > kMaxItemsPerOrder) {
      throw ProtocolError("pedido " + CutText(order) + " com mais de " +
                          std::to_string(kMaxItemsPerOrder) + " itens excede o limite de " +
                          std::to_string(kMaxItemsPerOrder) + " itens por pedido");
    }
  }
}

Variant CentralClient::Call(std::string_view method, const std::vector<Variant>& params,
                            const ResultCheck& check) {
  if (!Connected()) throw TransportError("não conectado ao servidor central");
  const int64_t id = next_id_++;
  // Built and measured before anything is sent: a request that cannot be encoded or is over
  // the frame limit fails this call only, and the connection stays in step.
  const std::string request = BuildRequest(id, method, params);
  EncodeFrameHeader(request.size());
  try {
    // The answer is released once parsed, and the parsed message as it becomes values: a large
    // answer is never held three times over.
    nlohmann::json message = ParseJsonText(link_->Exchange(request, timeout_));
    Variant result = ResponseResult(std::move(message), id);
    if (check) check(result);
    return result.IsNull() ? Variant() : result;
  } catch (const RemoteError&) {
    if (!link_->IsOpen()) Disconnect();  // the hub refused the token: the session ends
    throw;
  } catch (const ProtocolError& e) {
    Disconnect();
    throw ProtocolError("resposta inválida do servidor central a " + std::string(method) + ": " +
                        e.what());
  } catch (const TransportError&) {
    Disconnect();
    throw;
  }
}

Variant CentralClient::BaixaPedidos(const std::string& branch, const std::string& store) {
  Variant result = Call("BaixaPedidos", {Variant(branch), Variant(store)}, CheckItemsPerOrder);
  // The run loads the array slot by slot into its datasets; a short array or a slot that is
  // not a packet is refused here whole, with a message that says what came.
  if (result.IsArray()) {
    const std::vector<Variant>& packets = result.AsArray();
    if (packets.size() != DownloadSets::kDownloadedCount) {
      throw std::runtime_error("BaixaPedidos: o servidor central enviou " +
                               std::to_string(packets.size()) + " itens em vez de " +
                               std::to_string(DownloadSets::kDownloadedCount) +
                               " pacotes de dados");
    }
    for (std::size_t i = 0; i < packets.size(); ++i) {
      if (!packets[i].IsPacket()) {
        throw std::runtime_error("BaixaPedidos: o item " + std::to_string(i) +
                                 " enviado pelo servidor central não é um pacote de dados");
      }
    }
  }
  return result;
}

DataPacket CentralClient::ValidaProduto(const std::string& cdfilial, std::string& nrvendarest,
                                        const std::string& cdloja, std::string& cdproduto) {
  const Variant result = Call("ValidaProduto", {Variant(cdfilial), Variant(nrvendarest),
                                                Variant(cdloja), Variant(cdproduto)});
  if (result.IsEmpty()) return DataPacket{};
  if (!result.IsPacket()) {
    throw std::runtime_error("ValidaProduto: o servidor central não respondeu um pacote de dados");
  }
  return result.AsPacket();
}

void CentralClient::UpdateSincronismo(const DataPacket& pedidos, const DataPacket& cancelados) {
  Call("UpdateSincronismo", {Variant(pedidos), Variant(cancelados)});
}

Variant CentralClient::AtualizaPedidos(std::vector<Variant>& args) {
  return Call("AtualizaPedidos", {Variant(args)});
}

Variant CentralClient::AtualizaHistPedCons(std::vector<Variant>& args) {
  return Call("AtualizaHistPedCons", {Variant(args)});
}

}  // namespace zlv
