#include "router/router_message.h"

#include <span>

#include "bizlib/cp1252.h"
#include "bizlib/printable.h"
#include "platform/xml_document.h"
#include "router/column_text.h"

namespace zlv {
namespace {

// Texts the router expects where the store has no value of its own.
constexpr const char* kNaoConcluido = "Nao concluido";
constexpr const char* kNaoInformado = "Nao informado";

// One text element: the value of a column of the row at hand, or a fixed text.
struct Element {
  const char* name;
  const char* column;
  const char* fixed = nullptr;
};

// The router reads its elements in this order.
constexpr Element kPedido[] = {
    {"Id", "NRCOMANDA"},
    {"Name", "NMCONSUMIDOR"},
    {"telefone", "NRTELECONS"},
    {"Rua", "DSENDECONS"},
    {"Numero", "NRENDECONS"},
    {"Bairro", "NMBAIRRO"},
    {"Municipio", "NMMUNICIPIO"},
    {"Estado", "SGESTADO"},
    {"CEP", "NRCEPCONS"},
    {"Origem", "IDORGCMDVENDA"},
    {"DataHoraPedido", "DTINCLUSAO"},
    {"DataHoraPronto", nullptr, kNaoConcluido},
    {"DataHoraAgendamento", "DTHRAGENDADA"},
    {"Valor", "VRENTRADA"},
    {"status", nullptr, "tsAtendimento"},
    {"numeroVenda", "NRCOMANDA"},
    {"numeroVendaExt", "NRCOMANDAEXT"},
};
constexpr Element kEntregador[] = {
    {"Id", nullptr, kNaoInformado},
    {"Name", nullptr, kNaoInformado},
    {"cpf", nullptr, kNaoInformado},
};
constexpr Element kEmpresa[] = {
    {"Id", nullptr, "1"},
    {"Name", "NMLOJA"},
    {"Mall_id", nullptr, "1"},
};
constexpr Element kItem[] = {
    {"Id", "NRPRODCOMVEN"},
    {"codigo", "CDPRODUTO"},
    {"Descricao", "NMPRODUTO"},
    {"ValorUnit", "VRPRECCOMVEN"},
    {"Quantidade", "QTPRODCOMVEN"},
    {"ValorTotal", "VRTOTAL"},
    {"Observacao", nullptr, "Sem Obs"},
};
constexpr Element kPagamento[] = {
    {"Id", "NRSEQMOVDLV"},       {"Sequencia", "NRSEQMOVDLV"}, {"codigo", "CDTIPORECE"},
    {"Descricao", "NMTIPORECE"}, {"Valor", "VRMOVIVENDDLV"},   {"troco", nullptr, "0"},
    {"tipo", "IDTIPORECE"},
};

void AddText(XmlElement parent, const char* name, const std::string& value) {
  // Order texts come from customers: a line break or an escape in a name or an address would
  // reach the router as it was typed.
  parent.AppendChild(name).SetText(BlankControls(value));
}

void AddElements(XmlElement parent, std::span<const Element> elements, const Dataset& row,
                 const RegionalSettings& regional) {
  for (const Element& e : elements) {
    AddText(parent, e.name, e.column ? ColumnText(row.Field(e.column), regional) : e.fixed);
  }
}

// <name><data>...</data></name>: the containers that hold one record.
XmlElement AddRecord(XmlElement parent, const char* name) {
  return parent.AppendChild(name).AppendChild("data");
}

// <name> with one <data> per row of the set, walked first to last; empty without rows.
void AddRows(XmlElement parent, const char* name, std::span<const Element> elements, Dataset& rows,
             const RegionalSettings& regional) {
  XmlElement list = parent.AppendChild(name);
  for (rows.First(); !rows.Eof(); rows.Next()) {
    AddElements(list.AppendChild("data"), elements, rows, regional);
  }
}

}  // namespace

std::string MontaXmlPedidoRot(const Dataset& pedido, Dataset& itens, Dataset& pagamentos,
                              DateTime agora, const RegionalSettings& regional) {
  XmlDocument doc;
  XmlElement root = doc.AppendChild("root");
  AddElements(root, kPedido, pedido, regional);
  AddElements(AddRecord(root, "entregador"), kEntregador, pedido, regional);
  XmlElement rota = AddRecord(root, "Rota");
  AddText(rota, "Id", "1");
  AddText(rota, "DataHoraInicio", regional.DateTimeToStr(agora));
  AddText(rota, "Usuario", ColumnText(pedido.Field("NMCONSUMIDOR"), regional));
  AddElements(AddRecord(root, "empresa"), kEmpresa, pedido, regional);
  AddRows(root, "ItensPedido", kItem, itens, regional);
  AddRows(root, "Pagamentos", kPagamento, pagamentos, regional);

  // One line, empty elements with an end tag, control characters XML cannot hold dropped
  // (platform/xml_document.h).
  return doc.Write();
}

std::string CorpoPedidoRot(std::string_view xml) {
  std::string body;
  body.reserve(xml.size());
  for (size_t i = 0; i < xml.size(); ++i) {
    if (xml[i] == '\r' && i + 1 < xml.size() && xml[i + 1] == '\n') {
      ++i;
      continue;
    }
    body += xml[i];
  }
  return Utf8ToCp1252(body);
}

}  // namespace zlv
