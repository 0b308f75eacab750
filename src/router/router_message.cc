#include "router/router_message.h"

#include <sstream>

#include <pugixml.hpp>

#include "bizlib/cp1252.h"
#include "router/column_text.h"

namespace zlv {
namespace {

// Texts the router expects where the store has no value of its own.
constexpr const char* kNaoConcluido = "Nao concluido";
constexpr const char* kNaoInformado = "Nao informado";
constexpr const char* kStatusAtendimento = "tsAtendimento";
constexpr const char* kSemObs = "Sem Obs";

class Writer {
 public:
  Writer(const RegionalSettings& regional) : regional_(regional) {}

  static void Text(pugi::xml_node parent, const char* name, const std::string& value) {
    parent.append_child(name).text().set(value.c_str());
  }
  void Column(pugi::xml_node parent, const char* name, const Dataset& row,
              std::string_view column) const {
    Text(parent, name, ColumnText(row.Field(column), regional_));
  }
  // <name><data>...</data></name>: the containers that hold one record.
  static pugi::xml_node Record(pugi::xml_node parent, const char* name) {
    return parent.append_child(name).append_child("data");
  }

 private:
  const RegionalSettings& regional_;
};

}  // namespace

std::string MontaXmlPedidoRot(const Dataset& pedido, Dataset& itens, Dataset& pagamentos,
                              DateTime agora, const RegionalSettings& regional) {
  pugi::xml_document doc;
  const Writer w(regional);
  pugi::xml_node root = doc.append_child("root");
  w.Column(root, "Id", pedido, "NRCOMANDA");
  w.Column(root, "Name", pedido, "NMCONSUMIDOR");
  w.Column(root, "telefone", pedido, "NRTELECONS");
  w.Column(root, "Rua", pedido, "DSENDECONS");
  w.Column(root, "Numero", pedido, "NRENDECONS");
  w.Column(root, "Bairro", pedido, "NMBAIRRO");
  w.Column(root, "Municipio", pedido, "NMMUNICIPIO");
  w.Column(root, "Estado", pedido, "SGESTADO");
  w.Column(root, "CEP", pedido, "NRCEPCONS");
  w.Column(root, "Origem", pedido, "IDORGCMDVENDA");
  w.Column(root, "DataHoraPedido", pedido, "DTINCLUSAO");
  Writer::Text(root, "DataHoraPronto", kNaoConcluido);
  w.Column(root, "DataHoraAgendamento", pedido, "DTHRAGENDADA");
  w.Column(root, "Valor", pedido, "VRENTRADA");
  Writer::Text(root, "status", kStatusAtendimento);
  w.Column(root, "numeroVenda", pedido, "NRCOMANDA");
  w.Column(root, "numeroVendaExt", pedido, "NRCOMANDAEXT");

  pugi::xml_node entregador = Writer::Record(root, "entregador");
  Writer::Text(entregador, "Id", kNaoInformado);
  Writer::Text(entregador, "Name", kNaoInformado);
  Writer::Text(entregador, "cpf", kNaoInformado);

  pugi::xml_node rota = Writer::Record(root, "Rota");
  Writer::Text(rota, "Id", "1");
  Writer::Text(rota, "DataHoraInicio", regional.DateTimeToStr(agora));
  w.Column(rota, "Usuario", pedido, "NMCONSUMIDOR");

  pugi::xml_node empresa = Writer::Record(root, "empresa");
  Writer::Text(empresa, "Id", "1");
  w.Column(empresa, "Name", pedido, "NMLOJA");
  Writer::Text(empresa, "Mall_id", "1");

  pugi::xml_node itens_node = root.append_child("ItensPedido");
  for (itens.First(); !itens.Eof(); itens.Next()) {
    pugi::xml_node item = itens_node.append_child("data");
    w.Column(item, "Id", itens, "NRPRODCOMVEN");
    w.Column(item, "codigo", itens, "CDPRODUTO");
    w.Column(item, "Descricao", itens, "NMPRODUTO");
    w.Column(item, "ValorUnit", itens, "VRPRECCOMVEN");
    w.Column(item, "Quantidade", itens, "QTPRODCOMVEN");
    w.Column(item, "ValorTotal", itens, "VRTOTAL");
    Writer::Text(item, "Observacao", kSemObs);
  }

  pugi::xml_node pagamentos_node = root.append_child("Pagamentos");
  for (pagamentos.First(); !pagamentos.Eof(); pagamentos.Next()) {
    pugi::xml_node pagamento = pagamentos_node.append_child("data");
    w.Column(pagamento, "Id", pagamentos, "NRSEQMOVDLV");
    w.Column(pagamento, "Sequencia", pagamentos, "NRSEQMOVDLV");
    w.Column(pagamento, "codigo", pagamentos, "CDTIPORECE");
    w.Column(pagamento, "Descricao", pagamentos, "NMTIPORECE");
    w.Column(pagamento, "Valor", pagamentos, "VRMOVIVENDDLV");
    Writer::Text(pagamento, "troco", "0");
    w.Column(pagamento, "tipo", pagamentos, "IDTIPORECE");
  }

  // Raw: no indentation and no line breaks of the writer's own. Empty elements are written as
  // a start and an end tag, the form every receiving parser reads. Control characters other
  // than tab, CR and LF cannot stand in XML 1.0 at all, not even as references: dropped.
  std::ostringstream out;
  doc.save(out, "",
           pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags |
               pugi::format_skip_control_chars);
  return out.str();
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
