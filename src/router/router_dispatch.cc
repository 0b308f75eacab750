#include "router/router_dispatch.h"

#include <exception>

#include "bizlib/https.h"
#include "bizlib/log_text.h"
#include "bizlib/text.h"
#include "router/column_text.h"
#include "router/router_message.h"
#include "router/router_queries.h"

namespace zlv {
namespace {

// The reply of a router that took the order holds this word, case as written.
constexpr std::string_view kAceito = "true";

class Dispatch {
 public:
  Dispatch(Services& s, const RouterOptions& options) : s_(s), options_(options) {}

  void Run() {
    Log("Metodo -> \"EnviarPedidoRot\"");
    try {
      const std::string& cdfilial = s_.globals.gCDFILIAL;
      cdsDadosRot_.LoadPacket(BuscaDadosRot(s_.db, cdfilial, s_.globals.gCDLOJA));
      if (cdsDadosRot_.IsEmpty()) {
        Log("Não existem pedidos para sincronizar com o Roteirizador");
        return;
      }
      for (cdsDadosRot_.First(); !cdsDadosRot_.Eof(); cdsDadosRot_.Next()) {
        const std::string nrcomanda = Text("NRCOMANDA");
        Log("stNrComandaRot: " + nrcomanda);
        cdsDadosRotItVen_.LoadPacket(
            BuscaDadosRotItVen(s_.db, nrcomanda, Text("CDCLIENTE"), Text("CDCONSUMIDOR")));
        cdsDadosRotMovCx_.LoadPacket(BuscaDadosRotMovCx(s_.db, cdfilial, Text("CDCLIENTE"),
                                                        Text("CDCONSUMIDOR"), Text("NRVENDAREST")));
        const std::string idsitupedrot = Text("IDSITUPEDROT");
        if (!EmptyString(idsitupedrot)) {
          Log("IDSITUPEDROT: " + idsitupedrot);
          continue;
        }
        Enviar(cdfilial, nrcomanda);
      }
    } catch (const std::exception& e) {
      Log(std::string("ERRO: ") + LogText(e.what()));
    }
  }

 private:
  void Enviar(const std::string& cdfilial, const std::string& nrcomanda) {
    // CHAR columns come back padded with blanks on some servers.
    const std::string base = Trim(Text("CDURLROT"));
    if (!EnderecoRotValido(base)) {
      Log("CDURLROT inválido, pedido não enviado ao Roteirizador: \"" + LogText(base) + "\"");
      return;
    }
    const std::string xml = MontaXmlPedidoRot(cdsDadosRot_, cdsDadosRotItVen_, cdsDadosRotMovCx_,
                                              s_.clock.Now(), s_.regional);
    const std::string url = base + "/sendOrder";
    AvisaSemCriptografia(base);
    const HttpsReply resposta =
        RequisicaoHTTPSStatus(url, CorpoPedidoRot(xml), "POST", options_.timeout, "xml");
    const std::string& retorno = resposta.body;
    Log("URLROTEIRIZADOR: " + url);
    Log("XML: " + xml);
    // An error page may well hold the word too: only a successful reply can be an acceptance.
    if (resposta.status >= 200 && resposta.status < 300 &&
        retorno.find(kAceito) != std::string::npos) {
      const std::string erro = AtualizaStatusCmdRot(s_.db, cdfilial, nrcomanda, s_.clock.Now());
      ++s_.globals.cycle_activity.counters.router_orders_sent;
      Log("Pedido enviado ao Roteirizador com sucesso");
      if (!erro.empty()) Log("AtualizaStatusCmdRot: Erro -> " + LogText(erro));
    } else {
      Log("Pedido não enviado ao Roteirizador");
    }
    Log("URLROTEIRIZADOR: " + url);
    Log("RETORNO ROT: " + LogText(retorno));
  }

  // The order message carries the customer's name, phone and address: an http:// router is
  // still served, as some stores run it on their own network, but the log says it once.
  void AvisaSemCriptografia(const std::string& base) {
    if (s_.globals.gAvisoRotSemCriptografia || !SameText(base.substr(0, 7), "http://")) return;
    s_.globals.gAvisoRotSemCriptografia = true;
    Log("Atenção: o endereço do Roteirizador não usa criptografia (http://); os dados dos "
        "pedidos seguem sem proteção. CDURLROT: " +
        LogText(base));
  }

  std::string Text(std::string_view column) const {
    return ColumnText(cdsDadosRot_.Field(column), s_.regional);
  }
  void Log(const std::string& message) { s_.log.GravaLog(message); }

  Services& s_;
  const RouterOptions& options_;
  Dataset cdsDadosRot_;
  Dataset cdsDadosRotItVen_;
  Dataset cdsDadosRotMovCx_;
};

}  // namespace

void EnviarPedidoRot(Services& services, const RouterOptions& options) {
  Dispatch(services, options).Run();
}

bool EnderecoRotValido(std::string_view url) {
  std::string_view rest;
  for (std::string_view scheme : {"https://", "http://"}) {
    if (url.size() > scheme.size() &&
        UpperCase(url.substr(0, scheme.size())) == UpperCase(scheme)) {
      rest = url.substr(scheme.size());
      break;
    }
  }
  if (rest.empty() || rest.front() == '/' || rest.front() == ':') return false;
  for (unsigned char c : rest) {
    if (c <= ' ' || c == 0x7F) return false;
  }
  return true;
}

}  // namespace zlv
