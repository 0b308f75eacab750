// The packets the reference server exchanges: the eleven download sets of BaixaPedidos (in
// the order of the result array) and the answer packets of the other methods.
//
// A download set lists the columns the store reads from it; their types and sizes come from
// the store's own table of the same rows when the schema has that column, so a packet and the
// table it is written into always agree. The consumer sets carry every column of the store's
// CONSUMIDOR and CONSUMIFILIAL, whatever the schema holds at generation time.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "central/store_schema.h"
#include "data/data_packet.h"

namespace zlv {

enum DownloadSet : int {
  kCons = 0,
  kConsumiFilial,
  kVendaRest,
  kComandaVen,
  kItComandaVen,
  kItComandaEst,
  kMovCaixaDlv,
  kObsItComandaVen,
  kPedidosCanc,
  kMovPontoConsAux,
  kObsItComandaEst,
  kDownloadSetCount
};

const char* DownloadSetName(int set);  // the store dataset it loads: "cdsCons", ...
// The set's fields. Without the store table in the schema, the listed columns are typed by the
// store's naming rule (VR/QT float, DT date-time, text otherwise) and the consumer sets have
// none.
std::vector<FieldDef> DownloadFields(int set, const StoreSchema& schema);

// For each field of DownloadFields(set, schema): whether the store's table requires a value in
// it (NOT NULL without a default). The cancellations are not rows of their own: nothing.
std::vector<bool> RequiredFields(int set, const StoreSchema& schema);
// What a generated row puts in a required column it has no value for, so that the store can
// write the row: an empty text, zero, `now` or false, by the field's type.
Variant NeutralValue(const FieldDef& field, DateTime now);

// One row in field order from named values (names matched without regard to case). Columns
// not named are Null. A name the fields lack throws std::logic_error, unless `lenient` (the
// consumer sets, whose columns come from the schema).
std::vector<Variant> MakeRow(const std::vector<FieldDef>& fields,
                             const std::map<std::string, Variant>& values, bool lenient = false);

// The columns of a delivery order tab every order of the hub gives the same value: a tab still
// open ("P") with no service fee, cover, minimum, loyalty discount or bank redemption.
const std::map<std::string, Variant>& DeliveryTabDefaults();

// Answer packets (empty, with their fields).
DataPacket RetComandaVenPacket();   // NRVENDAREST, NRVENDARESTAUX, SGSEXOCON
DataPacket HistPedConsRetPacket();  // CDFILIAL 4, CDLOJA 10, NRVENDAREST 10, NRCOMANDA 10,
                                    // NRSEQHISTPED 3
DataPacket ValidaProdutoPacket();   // CDARVPROD, DSMSGIMPOSTO

// Rows of several packets of one set as one packet: the union of their fields in order of
// first appearance, each row's values placed by field name (absent ones Null).
DataPacket MergePackets(const std::vector<DataPacket>& packets);

}  // namespace zlv
