// The store's printers as the spooler and the ticket writers see them.
//
// CarregaImpressoras exports the printer routing of a branch and store into four packet files
// of the print data folder (docs/printing.md gives their encoding and fields), once per start.
// ParamsImp turns a printer model code into the column count of a ticket line.
//
// Main thread only (the store connection belongs to it).
#pragma once

#include <optional>
#include <string_view>

#include "store/services.h"

namespace zlv {

// The columns of a ticket line on a printer model; nullopt for a code outside the table.
// Codes are compared exactly: "01" and " 1" are not "1".
std::optional<int> ModelColumns(std::string_view model_code);

// Sets columns from the model table when the code is in it, leaves it untouched otherwise.
void ParamsImp(std::string_view model_code, int& columns);

// Writes cdsImpressoras.cds, cdsImpressorasFilial.cds (per-branch mode only), cdsImpBackup.cds
// and cdsImpBackupFilial.cds. Catches every failure and logs it; the steps after the failing
// one are skipped and files already written stay.
void CarregaImpressoras(Services& services, const std::string& cdfilial, const std::string& cdloja);

}  // namespace zlv
