#include "central/order_layouts.h"

#include <cctype>
#include <stdexcept>

namespace zlv {

namespace {

struct SetLayout {
  const char* dataset;
  const char* table;                 // the store table of these rows; its columns type the fields
  std::vector<const char*> columns;  // empty: every column of the table
};

const std::vector<SetLayout>& Layouts() {
  static const std::vector<SetLayout> layouts = {
      {"cdsCons", "CONSUMIDOR", {}},
      {"cdsConsumiFilial", "CONSUMIFILIAL", {}},
      {"cdsVendaRest",
       "VENDAREST",
       {"CDFILIAL", "CDLOJA", "NRVENDAREST", "DTHRABERMESA", "CDCLIENTE", "CDCONSUMIDOR", "NRMESA",
        "CDVENDEDOR", "NRPESMESAVEN", "DTHRFECHMESA", "CDOPERADOR", "NRCERVENDAREST",
        "NRCOOVENDAREST", "CDOPERULTATU", "CDNSUESITEF", "IDSTATUSESITEF", "NRMESAEATTAKE"}},
      {"cdsComandaVen",
       "COMANDAVEN",
       {"CDFILIAL",        "NRVENDAREST",     "NRCOMANDA",       "DSCOMANDA",
        "IDSTCOMANDA",     "VRDESCOMANDA",    "NRMESAJUNCAO",    "CDGRPOCOR",
        "CDOCORR",         "VRCOMISVENDE",    "CDLOJA",          "TXMOTIVCANCE",
        "VRCONSUMAMIN",    "SGSEXOCON",       "VRACRCOMANDA",    "DSCOMANDAPRI",
        "CDPAIS",          "SGESTADO",        "CDMUNICIPIO",     "CDBAIRRO",
        "DSENDECONSCOMAN", "DSCOMPLENDCOCOM", "NRCEPCONSCOMAND", "DSREFENDCONSCOM",
        "IDUTILTXSERV",    "IDUTILCONSUMA",   "IDUTILCOUVERT",   "DTENTREGA",
        "IDORGCMDVENDA",   "DSBAIRRO",        "IDRETBALLOJA",    "CDCAMPANHA",
        "VRPONTOBRINDE",   "VRDESCFIDELIDAD", "NRCOMANDAEXT",    "DSOBSCOMANDA",
        "DTHRAGENDADA",    "IDIMPCUPEXP",     "DSCUPOMPROMO",    "DSCONSUMIDOR",
        "NRENDECONSCOMAN", "NRLATPEDIDO",     "NRLONGPEDIDO",    "DSAREAATEND",
        "VRDESCFID",       "IDSUBPROJETO",    "NRCPFFID4ALL",    "CDPROMOFID4ALL",
        "VRDESCCASH4ALL",  "VRDESCPROMO4ALL", "NRREQEXTCMD",     "NRCPFFIDUDS",
        "VRDESCCASHUDS",   "NRCONTATOCON",    "DSEMAILENVCUPOM", "IDSITENVCUPOM",
        "DSPREVENTREGA",   "IDREQVALPRE",     "NRCARVALPRE",     "IDREQCOREBANC",
        "IDCARTCOREBANC",  "NRCPFCOREBANC",   "VRRESGCOREBANC",  "NRCPFINTEPROMO",
        "IDPEDINTEPROMO"}},
      {"cdsItComandaVen",
       "ITCOMANDAVEN",
       {"CDFILIAL",       "NRVENDAREST",  "NRCOMANDA",      "NRPRODCOMVEN",   "CDPRODUTO",
        "QTPRODCOMVEN",   "VRPRECCOMVEN", "IDSTPRCOMVEN",   "VRDESCCOMVEN",   "NRLUGARMESA",
        "CDGRPOCOR",      "CDOCORR",      "NRMESAORIG",     "CDLOJAORIG",     "VRACRCOMVEN",
        "NRSEQPRODCOM",   "NRSEQPRODCUP", "CDPRODPROMOCAO", "CDVENDEDOR",     "TXPRODCOMVEN",
        "CDCAIXACOLETOR", "CDLOJA",       "IDPRODIMPFIS",   "VRPRECCLCOMVEN", "NRMESADSCOMORIT",
        "NRINSCRCONS",    "CDSENHAPED",   "DSOBSPEDDIGCMD", "NRATRAPRODCOVE", "IDORIGEMVENDA",
        "IDIMPPRGRPROMO", "DSPRODUTOGEN"}},
      {"cdsItComandaEst",
       "ITCOMANDAEST",
       {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "NRPRODCOMVEN", "CDPRODUTO", "QTPROCOMEST",
        "VRPRECCOMEST", "VRDESITCOMEST", "TXPRODCOMVENEST", "IDIMPPRGRPROMO"}},
      {"cdsMovCaixaDlv",
       "MOVCAIXADLV",
       {"CDFILIAL", "NRVENDAREST", "NRSEQMOVDLV", "IDTIPOMOVIVEDLV", "VRMOVIVENDDLV", "CDTIPORECE",
        "CDCLIENTE", "CDCONSUMIDOR", "NRCARTBANCODLV", "CDFAMILISALD", "CDNSUTEFDLV",
        "DTHRACESSOCAT", "NRAUTORIZATEFDLV"}},
      {"cdsObsItComandaVen",
       "OBSITCOMANDAVEN",
       {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "NRPRODCOMVEN", "CDGRPOCOR", "CDOCORR",
        "QTPRODCOMVENOBS"}},
      {"cdsPedidosCanc",
       "VENDAREST",
       {"CDFILIAL", "CDLOJA", "NRVENDAREST", "NRVENDARESTAUX", "CDCLIENTE", "CDCONSUMIDOR",
        "CDVENDEDOR"}},
      {"cdsMovPontoConsAux",
       "MOVPONTOCONSAUX",
       {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "NRPRODCOMVEN", "CDCAMPANHA", "IDTPMOVCONS",
        "VRPONTOBRINDE", "CDLOJA"}},
      {"cdsObsItComandaEst",
       "OBSITCOMANDAEST",
       {"CDFILIAL", "NRVENDAREST", "NRCOMANDA", "NRPRODCOMVEN", "CDPRODUTO", "CDGRPOCOR", "CDOCORR",
        "QTPRODCOMVENOBS"}},
  };
  return layouts;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A column the schema does not know, typed by the naming rule of the store's columns.
FieldDef ConventionalField(const std::string& name) {
  const auto starts = [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; };
  if (starts("VR") || starts("QT")) return {name, FieldType::Float, 0};
  if (starts("DT")) return {name, FieldType::DateTime, 0};
  return {name, FieldType::String, 20};
}

const SetLayout& Layout(int set) {
  if (set < 0 || set >= kDownloadSetCount)
    throw std::out_of_range("no download set " + std::to_string(set));
  return Layouts()[static_cast<std::size_t>(set)];
}

}  // namespace

const char* DownloadSetName(int set) { return Layout(set).dataset; }

std::vector<FieldDef> DownloadFields(int set, const StoreSchema& schema) {
  const SetLayout& layout = Layout(set);
  if (layout.columns.empty()) {
    return schema.HasTable(layout.table) ? schema.Columns(layout.table) : std::vector<FieldDef>{};
  }
  const std::vector<FieldDef> none;
  const auto& table = schema.HasTable(layout.table) ? schema.Columns(layout.table) : none;
  std::vector<FieldDef> fields;
  for (const char* column : layout.columns) {
    FieldDef field = ConventionalField(column);
    for (const auto& known : table) {
      if (SameName(known.name, column)) field = FieldDef{column, known.type, known.size};
    }
    fields.push_back(field);
  }
  return fields;
}

std::vector<bool> RequiredFields(int set, const StoreSchema& schema) {
  std::vector<bool> required;
  for (const auto& field : DownloadFields(set, schema)) {
    required.push_back(set != kPedidosCanc && schema.IsRequired(Layout(set).table, field.name));
  }
  return required;
}

Variant NeutralValue(const FieldDef& field, DateTime now) {
  switch (field.type) {
    case FieldType::String:
      return Variant(std::string());
    case FieldType::Integer:
      return Variant(int64_t{0});
    case FieldType::Float:
      return Variant(0.0);
    case FieldType::DateTime:
      return Variant(now);
    case FieldType::Boolean:
      return Variant(false);
  }
  return Variant::Null();
}

std::vector<Variant> MakeRow(const std::vector<FieldDef>& fields,
                             const std::map<std::string, Variant>& values, bool lenient) {
  std::vector<Variant> row(fields.size(), Variant::Null());
  for (const auto& [name, value] : values) {
    bool placed = false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (SameName(fields[i].name, name)) {
        row[i] = CoerceToField(value, fields[i]);
        placed = true;
      }
    }
    if (!placed && !lenient) throw std::logic_error("no field " + name + " in the packet");
  }
  return row;
}

DataPacket RetComandaVenPacket() {
  return DataPacket{{{"NRVENDAREST", FieldType::String, 10},
                     {"NRVENDARESTAUX", FieldType::String, 10},
                     {"SGSEXOCON", FieldType::String, 1}},
                    {}};
}

DataPacket HistPedConsRetPacket() {
  return DataPacket{{{"CDFILIAL", FieldType::String, 4},
                     {"CDLOJA", FieldType::String, 10},
                     {"NRVENDAREST", FieldType::String, 10},
                     {"NRCOMANDA", FieldType::String, 10},
                     {"NRSEQHISTPED", FieldType::String, 3}},
                    {}};
}

DataPacket ValidaProdutoPacket() {
  return DataPacket{
      {{"CDARVPROD", FieldType::String, 20}, {"DSMSGIMPOSTO", FieldType::String, 255}}, {}};
}

DataPacket MergePackets(const std::vector<DataPacket>& packets) {
  DataPacket merged;
  for (const auto& packet : packets) {
    for (const auto& field : packet.fields) {
      if (merged.FieldIndex(field.name) < 0) merged.fields.push_back(field);
    }
  }
  for (const auto& packet : packets) {
    std::vector<int> target;
    for (const auto& field : packet.fields) target.push_back(merged.FieldIndex(field.name));
    for (const auto& row : packet.rows) {
      std::vector<Variant> out(merged.fields.size(), Variant::Null());
      for (std::size_t c = 0; c < row.size() && c < target.size(); ++c) {
        out[static_cast<std::size_t>(target[c])] =
            CoerceToField(row[c], merged.fields[static_cast<std::size_t>(target[c])]);
      }
      merged.rows.push_back(std::move(out));
    }
  }
  return merged;
}

const std::map<std::string, Variant>& DeliveryTabDefaults() {
  static const std::map<std::string, Variant> kDefaults = {
      {"IDSTCOMANDA", "P"},     {"VRCOMISVENDE", 0.0},  {"VRCONSUMAMIN", 0.0},
      {"IDUTILTXSERV", "N"},    {"IDUTILCONSUMA", "N"}, {"IDUTILCOUVERT", "N"},
      {"IDIMPCUPEXP", "N"},     {"VRDESCFID", 0.0},     {"VRDESCCASH4ALL", 0.0},
      {"VRDESCPROMO4ALL", 0.0}, {"VRDESCCASHUDS", 0.0}, {"VRRESGCOREBANC", 0.0},
      {"IDREQVALPRE", "N"},     {"IDREQCOREBANC", "N"}};
  return kDefaults;
}

}  // namespace zlv
