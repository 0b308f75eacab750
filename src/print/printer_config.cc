#include "print/printer_config.h"

#include <array>
#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

#include "bizlib/log_text.h"
#include "data/data_packet.h"
#include "database/named_statement.h"
#include "platform/durable_file.h"
#include "print/print_files.h"

namespace zlv {

namespace fs = std::filesystem;

namespace {

// Model code -> columns of a ticket line, as the printer models print them in their default
// font. Codes 15, 20 and 22 to 29 are models without a kitchen-ticket layout.
constexpr std::array<std::pair<std::string_view, int>, 20> kModelColumns{{
    {"1", 36},  {"2", 42},  {"3", 48},  {"4", 48},  {"5", 42},  {"6", 42},  {"7", 40},
    {"8", 48},  {"9", 40},  {"10", 48}, {"11", 40}, {"12", 48}, {"13", 40}, {"14", 40},
    {"16", 40}, {"17", 42}, {"18", 47}, {"19", 42}, {"21", 40}, {"30", 47},
}};

// The spooler reads the routing files by field name and position, so the files carry exactly
// these fields in this order whatever the dialect text of the query returned.
const std::vector<std::string_view> kPrinterFields{"NRSEQIMPRLOJA", "NMIMPRLOJA", "CDPORTAIMPR",
                                                   "IDMODEIMPRES",  "DSENDPORTA", "IDUTILFONTEXP",
                                                   "CDLOJA"};
const std::vector<std::string_view> kBackupFields{
    "NRSEQIMPRLOJA", "NRSEQIMPRLOJABK", "CDPORTAIMPR",  "CDPORTAIMPRBK",
    "DSENDPORTA",    "DSENDPORTABK",    "IDMODEIMPRES", "IDMODEIMPRESBK",
    "CDFILIAL",      "CDLOJA",          "CDCAIXA",      "TIPO"};
const std::vector<std::string_view> kBackupBranchFields{
    "NRSEQIMPRLOJA", "NRSEQIMPRLOJABK", "DSENDPORTA", "DSENDPORTABK", "CDPORTAIMPR",
    "CDPORTAIMPRBK", "CDFILIAL",        "CDLOJA",     "CDCAIXA"};

DataPacket Project(const DataPacket& result, const std::vector<std::string_view>& names,
                   std::string_view query) {
  std::vector<int> source;
  DataPacket out;
  for (std::string_view name : names) {
    int index = result.FieldIndex(name);
    if (index < 0) {
      throw std::runtime_error("Campo " + std::string(name) + " ausente em " + std::string(query));
    }
    source.push_back(index);
    FieldDef field = result.fields[static_cast<size_t>(index)];
    field.name = std::string(name);
    out.fields.push_back(std::move(field));
  }
  for (const auto& row : result.rows) {
    std::vector<Variant> projected;
    projected.reserve(source.size());
    for (int index : source) projected.push_back(row[static_cast<size_t>(index)]);
    out.rows.push_back(std::move(projected));
  }
  return out;
}

// The routing of one query: its rows, with the file's fields. Parameters not given stay Null.
DataPacket ReadRouting(Services& services, std::string_view query, const std::string& cdfilial,
                       const std::string* cdloja, const std::vector<std::string_view>& fields) {
  NamedStatement statement(services.db, query);
  statement.SetParam("P_CDFILIAL", cdfilial);
  if (cdloja != nullptr) statement.SetParam("P_CDLOJA", *cdloja);
  return Project(statement.Packet(), fields, query);
}

// Start-up made the ticket folder below it with every parent, so one level is all that can
// be missing here; a missing parent is an installation fault worth failing on.
void SaveRouting(const fs::path& folder, std::string_view file, const DataPacket& packet) {
  if (!fs::exists(folder)) fs::create_directory(folder);
  // The spooler routes every ticket by these files; one lost to a power cut after start-up
  // would leave it routing by an old or empty copy until the next start.
  const fs::path path = folder / file;
  fs::path temp = path;
  temp += ".tmp";
  platform::WriteFileDurably(path, temp, PacketToJson(packet));
}

void RemoveIfPresent(const fs::path& path) {
  if (fs::exists(path)) fs::remove(path);
}

}  // namespace

std::optional<int> ModelColumns(std::string_view model_code) {
  for (const auto& [code, columns] : kModelColumns) {
    if (code == model_code) return columns;
  }
  return std::nullopt;
}

void ParamsImp(std::string_view model_code, int& columns) {
  if (auto found = ModelColumns(model_code)) columns = *found;
}

void CarregaImpressoras(Services& services, const std::string& cdfilial,
                        const std::string& cdloja) {
  try {
    const fs::path folder = PrintDataFolder(services.exe_folder);

    DataPacket printers =
        ReadRouting(services, "adqPortasDisponiveis", cdfilial, &cdloja, kPrinterFields);
    // Without printers in the database the spooler keeps the routing of an earlier start.
    if (!printers.empty()) SaveRouting(folder, "cdsImpressoras.cds", printers);

    RemoveIfPresent(folder / "cdsImpressorasFilial.cds");
    DataPacket branch_printers =
        ReadRouting(services, "adqPortasDisponiveisFilial", cdfilial, nullptr, kPrinterFields);
    if (!branch_printers.empty()) SaveRouting(folder, "cdsImpressorasFilial.cds", branch_printers);

    SaveRouting(folder, "cdsImpBackup.cds",
                ReadRouting(services, "adqImpBackup", cdfilial, &cdloja, kBackupFields));

    RemoveIfPresent(folder / "cdsImpBackupFilial.cds");
    SaveRouting(
        folder, "cdsImpBackupFilial.cds",
        ReadRouting(services, "adqImpBackupFilial", cdfilial, nullptr, kBackupBranchFields));
  } catch (const std::exception& e) {
    services.log.GravaLog(std::string("Método \"CarregaImpressoras\": Erro -> ") +
                          LogText(e.what()));
  }
}

}  // namespace zlv
