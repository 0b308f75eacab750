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

void AddText(pugi::xml_node parent, const char* name, const std::string& value) {
  parent.append_child(name).text().set(value.c_str());
}

// <name><data>...</data></name>: the containers that hold one record.
pugi::xml_node AddRecord(pugi::xml_node parent, const char* name) {
  return parent.append_child(name).append_child("data");
}

}  // namespace

std::string MontaXmlPedidoRot(const Dataset& pedido, Dataset& itens, Dataset& pagamentos,
                              DateTime agora, const RegionalSettings& regional) {
  pugi::xml_document doc;
  const auto column = [&regional](pugi::xml_node parent, const char* name, const Dataset& row,
                                  std::string_view field) {
    AddText(parent, name, ColumnText(row.Field(field), regional));
  };
  pugi::xml_node root = doc.append_child("root");
  column(root, "Id", pedido, "NRCOMANDA");
  column(root, "Name", pedido, "NMCONSUMIDOR");
  column(root, "telefone", pedido, "NRTELECONS");
  column(root, "Rua", pedido, "DSENDECONS");
  column(root, "Numero", pedido, "NRENDECONS");
  column(root, "Bairro", pedido, "NMBAIRRO");
  column(root, "Municipio", pedido, "NMMUNICIPIO");
  column(root, "Estado", pedido, "SGESTADO");
  column(root, "CEP", pedido, "NRCEPCONS");
  column(root, "Origem", pedido, "IDORGCMDVENDA");
  column(root, "DataHoraPedido", pedido, "DTINCLUSAO");
  AddText(root, "DataHoraPronto", kNaoConcluido);
  column(root, "DataHoraAgendamento", pedido, "DTHRAGENDADA");
  column(root, "Valor", pedido, "VRENTRADA");
  AddText(root, "status", kStatusAtendimento);
  column(root, "numeroVenda", pedido, "NRCOMANDA");
  column(root, "numeroVendaExt", pedido, "NRCOMANDAEXT");

  pugi::xml_node entregador = AddRecord(root, "entregador");
  AddText(entregador, "Id", kNaoInformado);
  AddText(entregador, "Name", kNaoInformado);
  AddText(entregador, "cpf", kNaoInformado);

  pugi::xml_node rota = AddRecord(root, "Rota");
  AddText(rota, "Id", "1");
  AddText(rota, "DataHoraInicio", regional.DateTimeToStr(agora));
  column(rota, "Usuario", pedido, "NMCONSUMIDOR");

  pugi::xml_node empresa = AddRecord(root, "empresa");
  AddText(empresa, "Id", "1");
  column(empresa, "Name", pedido, "NMLOJA");
  AddText(empresa, "Mall_id", "1");

  pugi::xml_node itens_node = root.append_child("ItensPedido");
  for (itens.First(); !itens.Eof(); itens.Next()) {
    pugi::xml_node item = itens_node.append_child("data");
    column(item, "Id", itens, "NRPRODCOMVEN");
    column(item, "codigo", itens, "CDPRODUTO");
    column(item, "Descricao", itens, "NMPRODUTO");
    column(item, "ValorUnit", itens, "VRPRECCOMVEN");
    column(item, "Quantidade", itens, "QTPRODCOMVEN");
    column(item, "ValorTotal", itens, "VRTOTAL");
    AddText(item, "Observacao", kSemObs);
  }

  pugi::xml_node pagamentos_node = root.append_child("Pagamentos");
  for (pagamentos.First(); !pagamentos.Eof(); pagamentos.Next()) {
    pugi::xml_node pagamento = pagamentos_node.append_child("data");
    column(pagamento, "Id", pagamentos, "NRSEQMOVDLV");
    column(pagamento, "Sequencia", pagamentos, "NRSEQMOVDLV");
    column(pagamento, "codigo", pagamentos, "CDTIPORECE");
    column(pagamento, "Descricao", pagamentos, "NMTIPORECE");
    column(pagamento, "Valor", pagamentos, "VRMOVIVENDDLV");
    AddText(pagamento, "troco", "0");
    column(pagamento, "tipo", pagamentos, "IDTIPORECE");
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
