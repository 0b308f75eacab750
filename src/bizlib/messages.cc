#include "bizlib/messages.h"

#include <array>

#include "bizlib/text.h"

namespace zlv {

namespace {

struct MessageRow {
  std::string_view key;
  std::string_view text;
};

// The ticket labels, as the stores' tickets have always printed them (trailing blanks are part
// of the label: the value follows them directly).
constexpr std::array<MessageRow, 32> kMsgPadrao = {{
    {"TITULO", "Relatorio de Entrega"},
    {"ENTREGADOR", "Entregador:"},
    {"TEL_ENTREG", "Tel. Entregador:"},
    {"EMISSAO", "Emissao:"},
    {"PEDIDO", "Pedido:"},
    {"DTENTREGA", "Agendamento:"},
    {"CONSUMIDOR", "Consumidor:"},
    {"TELEFONE", "Tel. Consumidor:"},
    {"Endereco", "Endereco"},
    {"Quadrante", "Quadrante:"},
    {"CEP", "CEP: "},
    {"Referencia", "Referencia:"},
    {"RETIRAR_BALCAO_LOJA", "Atencao! Retirar no balcao da loja."},
    {"COMER_LOCAL", "Atencao! Pedido será consumido no local."},
    {"Form_Pgto", "Formas de Pagamento:"},
    {"Troco", "Troco:"},
    {"PRODUTOS", "Produtos Vendidos:"},
    {"TXENTREGA", "Acrescimo/Tx.Entrega"},
    {"TOTAL", "TOTAL"},
    {"Operador", "Operador:"},
    {"DLV_IFO", "IFOOD......: "},
    {"DLV_4AL", "4ALL.......: "},
    {"TGO_4AL", "4ALL.......: "},
    {"BGR_4AL", "4ALL.......: "},
    {"DLV_UBR", "UBER EATS..: "},
    {"DLV_ORD", "NR. EXTERNO: "},
    {"DLV_ORD_MESA", "MESA.......: "},
    {"DLV_RAP", "RAPPI......: "},
    {"DLV_99F", "99Food.....: "},
    {"DLV_SPO", "IFOOD......: "},
    {"DLV_DDI", "DLV DIRETO.: "},
    {"DLV_ANT", "ANOTA AI...: "},
}};

}  // namespace

std::string Msg(std::string_view key) {
  for (const MessageRow& row : kMsgPadrao) {
    if (SameText(row.key, key)) return std::string(row.text);
  }
  return {};
}

}  // namespace zlv
