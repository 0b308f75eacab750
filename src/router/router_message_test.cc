// The message builder on hand-made rows; the complete layout is checked against the golden
// body in tests/router.
#include "router/router_message.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <vector>

namespace zlv {
namespace {

DataPacket Packet(std::vector<std::string> names, std::vector<std::vector<Variant>> rows) {
  DataPacket p;
  for (auto& name : names) {
    FieldDef f{name, FieldType::String, 100};
    if (name.starts_with("VR") || name.starts_with("QT")) f = {name, FieldType::Float, 0};
    if (name.starts_with("DT")) f = {name, FieldType::DateTime, 0};
    p.fields.push_back(f);
  }
  p.rows = std::move(rows);
  return p;
}

Dataset Pedido(const std::string& nome, Variant agendada = Variant::Null()) {
  return Dataset(Packet({"NRCOMANDA", "NMCONSUMIDOR", "NRTELECONS", "DSENDECONS", "NRENDECONS",
                         "NMBAIRRO", "NMMUNICIPIO", "SGESTADO", "NRCEPCONS", "IDORGCMDVENDA",
                         "DTINCLUSAO", "DTHRAGENDADA", "VRENTRADA", "NRCOMANDAEXT", "NMLOJA"},
                        {{"000123", nome, "11999990000", "Rua A", "10", "Centro", "São Paulo", "SP",
                          "01000000", "DLV_IFO", DateTime::FromCivil(2026, 3, 7, 19, 5, 9),
                          agendada, 45.5, "EXT-9", "Loja Centro"}}));
}

Dataset Itens(std::vector<std::vector<Variant>> rows) {
  return Dataset(
      Packet({"NRPRODCOMVEN", "CDPRODUTO", "NMPRODUTO", "VRPRECCOMVEN", "QTPRODCOMVEN", "VRTOTAL"},
             std::move(rows)));
}

Dataset Pagamentos(std::vector<std::vector<Variant>> rows) {
  return Dataset(Packet({"NRSEQMOVDLV", "CDTIPORECE", "NMTIPORECE", "VRMOVIVENDDLV", "IDTIPORECE"},
                        std::move(rows)));
}

const DateTime kAgora = DateTime::FromCivil(2026, 3, 7, 19, 30, 0);

std::string Build(Dataset pedido, Dataset itens, Dataset pagamentos) {
  return MontaXmlPedidoRot(pedido, itens, pagamentos, kAgora, RegionalSettings::Default());
}

TEST(MontaXmlPedidoRot, ReservedCharactersInDataCannotBreakTheDocument) {
  const std::string nome = "Ana & Bia <\"O'Neil\"> ]]>";
  const std::string xml = Build(Pedido(nome), Itens({}), Pagamentos({}));
  EXPECT_EQ(xml.find("& "), std::string::npos);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str())) << xml;
  EXPECT_EQ(doc.child("root").child_value("Name"), nome);
  EXPECT_EQ(doc.child("root").child("Rota").child("data").child_value("Usuario"), nome);
}

// A customer's name with a forged line, a drawer kick and a paper cut: every control character
// (those XML allows, CR LF and tab, too) reaches the router as a blank, so the document stays
// well formed and no line of the customer's making appears in it.
TEST(MontaXmlPedidoRot, ForgedLineAndDrawerKickInNameBecomeBlanks) {
  const std::string nome = "Ana\x01\x1f Lima\r\n*** PAGO ONLINE ***\x1bp0\x1dV1\t";
  const std::string xml = Build(Pedido(nome), Itens({}), Pagamentos({}));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str()));
  EXPECT_STREQ(doc.child("root").child_value("Name"), "Ana   Lima  *** PAGO ONLINE *** p0 V1 ");
  EXPECT_EQ(xml.find("&#"), std::string::npos);
}

TEST(MontaXmlPedidoRot, ScheduledOrderCarriesItsTimeAndEveryItemInSelectionOrder) {
  const std::string xml =
      Build(Pedido("Ana", DateTime::FromCivil(2026, 3, 8, 12, 0, 0)),
            Itens({{"2", "P2", "Suco", 7.9, 1.0, 7.9}, {"1", "P1", "Pizza", 50.0, 1.0, 45.0}}),
            Pagamentos({}));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str()));
  const pugi::xml_node root = doc.child("root");
  EXPECT_STREQ(root.child_value("DataHoraAgendamento"), "08/03/2026 12:00:00");
  std::vector<std::string> produtos;
  for (pugi::xml_node item : root.child("ItensPedido").children("data")) {
    produtos.push_back(item.child_value("codigo"));
    EXPECT_STREQ(item.child_value("Observacao"), "Sem Obs");
  }
  EXPECT_EQ(produtos, (std::vector<std::string>{"P2", "P1"}));
}

TEST(CorpoPedidoRot, RemovesCrLfPairsAndWritesWindows1252) {
  EXPECT_EQ(CorpoPedidoRot("<a>S\xC3\xA3o\r\nPaulo</a>\r\n"), "<a>S\xE3oPaulo</a>");
  EXPECT_EQ(CorpoPedidoRot("<a>x\ny\rz</a>"), "<a>x\ny\rz</a>");
}

}  // namespace
}  // namespace zlv
