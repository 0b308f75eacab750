// Builders of the packets a download brings, shaped as the central server sends them: the
// order packets carry a column for every parameter of the statement their rows are written
// with (typed as the server types them: date-times, floats, texts), and rows name only the
// columns they set (the others are null).
//
// Test thread only.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/data_packet.h"
#include "store/download_sets.h"

namespace zlv::test {

// Column name and value pairs of one row.
using Cells = std::vector<std::pair<std::string, Variant>>;
// The cells with some replaced or added.
Cells With(Cells cells, const Cells& changes);

// A delivery order's sale row (cdsVendaRest) of store 0001/001, consumer 0001/000001, seller
// 9999, operator 0001, and one of its cash movements (cdsMovCaixaDlv): what every order the
// writers accept carries.
Cells DeliveryOrder(const std::string& nr, DateTime opening);
Cells DeliveryPayment(const std::string& order, const std::string& seq, const std::string& type,
                      double value);

class PacketBuilder {
 public:
  explicit PacketBuilder(std::vector<FieldDef> fields) { packet_.fields = std::move(fields); }
  // The columns behind the parameters of a catalogue statement.
  static PacketBuilder ForStatement(std::string_view statement);

  // Appends a row; a named column the packet lacks throws.
  PacketBuilder& Add(const Cells& cells);
  const DataPacket& packet() const { return packet_; }

 private:
  DataPacket packet_;
};

// The order packets of one download.
struct OrderDownload {
  OrderDownload();

  PacketBuilder vendas;           // cdsVendaRest
  PacketBuilder comandas;         // cdsComandaVen
  PacketBuilder itens;            // cdsItComandaVen
  PacketBuilder composicoes;      // cdsItComandaEst
  PacketBuilder pagamentos;       // cdsMovCaixaDlv
  PacketBuilder obs_itens;        // cdsObsItComandaVen
  PacketBuilder cancelamentos;    // cdsPedidosCanc
  PacketBuilder pontos;           // cdsMovPontoConsAux
  PacketBuilder obs_composicoes;  // cdsObsItComandaEst

  void LoadInto(DownloadSets& sets) const;
};

}  // namespace zlv::test
