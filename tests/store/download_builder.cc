#include "download_builder.h"

#include <stdexcept>
#include <string>

#include "database/catalogue.h"

namespace zlv::test {

namespace {

FieldType TypeOf(const ParamDef& param, std::string_view column) {
  if (column.starts_with("DT")) return FieldType::DateTime;
  switch (param.type) {
    case ParamType::Float:
      return FieldType::Float;
    case ParamType::Integer:
      return FieldType::Integer;
    case ParamType::DateTime:
      return FieldType::DateTime;
    case ParamType::Text:
      break;
  }
  return FieldType::String;
}

}  // namespace

Cells DeliveryOrder(const std::string& nr, DateTime opening) {
  return {{"CDFILIAL", "0001"},      {"CDLOJA", "001"},        {"NRVENDAREST", nr},
          {"DTHRABERMESA", opening}, {"CDCLIENTE", "0001"},    {"CDCONSUMIDOR", "000001"},
          {"NRMESA", "0"},           {"CDVENDEDOR", "9999"},   {"NRPESMESAVEN", "1"},
          {"CDOPERADOR", "0001"},    {"CDOPERULTATU", "0001"}, {"IDSTATUSESITEF", "N"}};
}

Cells DeliveryPayment(const std::string& order, const std::string& seq, const std::string& type,
                      double value) {
  return {{"CDFILIAL", "0001"},     {"NRVENDAREST", order},    {"NRSEQMOVDLV", seq},
          {"IDTIPOMOVIVEDLV", "E"}, {"VRMOVIVENDDLV", value},  {"CDTIPORECE", type},
          {"CDCLIENTE", "0001"},    {"CDCONSUMIDOR", "000001"}};
}

Cells With(Cells cells, const Cells& changes) {
  for (const auto& [name, value] : changes) {
    bool replaced = false;
    for (auto& cell : cells) {
      if (cell.first == name) {
        cell.second = value;
        replaced = true;
      }
    }
    if (!replaced) cells.emplace_back(name, value);
  }
  return cells;
}

PacketBuilder PacketBuilder::ForStatement(std::string_view statement) {
  std::vector<FieldDef> fields;
  for (const ParamDef& param : FindStatement(statement).params) {
    std::string_view column = param.name;
    column.remove_prefix(2);  // "P_"
    bool seen = false;
    for (const FieldDef& field : fields) seen = seen || field.name == column;
    if (seen) continue;
    const FieldType type = TypeOf(param, column);
    fields.push_back({std::string(column), type, type == FieldType::String ? param.size : 0});
  }
  return PacketBuilder(std::move(fields));
}

PacketBuilder& PacketBuilder::Add(const Cells& cells) {
  std::vector<Variant> row(packet_.fields.size(), Variant::Null());
  for (const auto& [name, value] : cells) {
    const int index = packet_.FieldIndex(name);
    if (index < 0) throw std::invalid_argument("packet has no column " + name);
    row[index] = CoerceToField(value, packet_.fields[index]);
  }
  packet_.rows.push_back(std::move(row));
  return *this;
}

OrderDownload::OrderDownload()
    : vendas(PacketBuilder::ForStatement("acmVendaRest")),
      comandas(PacketBuilder::ForStatement("acmInsComandaVen")),
      itens(PacketBuilder::ForStatement("acmInsItComVen")),
      composicoes(PacketBuilder::ForStatement("acmInsProdEst")),
      pagamentos(PacketBuilder::ForStatement("acmCriaMovCaixaDlv")),
      obs_itens(PacketBuilder::ForStatement("acmObsItComandaVen")),
      cancelamentos(std::vector<FieldDef>{{"CDFILIAL", FieldType::String, 4},
                                          {"CDLOJA", FieldType::String, 10},
                                          {"NRVENDAREST", FieldType::String, 10},
                                          {"NRVENDARESTAUX", FieldType::String, 10},
                                          {"CDCLIENTE", FieldType::String, 15},
                                          {"CDCONSUMIDOR", FieldType::String, 20}}),
      pontos(PacketBuilder::ForStatement("acmMovPontoConsAux")),
      obs_composicoes(PacketBuilder::ForStatement("acmObsItComandaEst")) {}

void OrderDownload::LoadInto(DownloadSets& sets) const {
  sets.cdsVendaRest.LoadPacket(vendas.packet());
  sets.cdsComandaVen.LoadPacket(comandas.packet());
  sets.cdsItComandaVen.LoadPacket(itens.packet());
  sets.cdsItComandaEst.LoadPacket(composicoes.packet());
  sets.cdsMovCaixaDlv.LoadPacket(pagamentos.packet());
  sets.cdsObsItComandaVen.LoadPacket(obs_itens.packet());
  sets.cdsPedidosCanc.LoadPacket(cancelamentos.packet());
  sets.cdsMovPontoConsAux.LoadPacket(pontos.packet());
  sets.cdsObsItComandaEst.LoadPacket(obs_composicoes.packet());
}

}  // namespace zlv::test
