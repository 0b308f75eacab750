// LOGSINCDLV: the store's record of downloaded orders that could not be written, with the raw
// error messages (DSLOG) and the diagnosis for the staff (DSLOGMSG). A failed order adds a
// row; a committed one removes its earlier rows, and every clean-up also drops the branch's
// and store's rows already printed (IDIMPLOG "S") that are more than a day old.
//
// Main thread only; each call runs one statement on the store connection and throws its
// failure.
#pragma once

#include <string>

#include "data/dataset.h"
#include "store/services.h"

namespace zlv {

// How much of the error messages (DSLOG) and of the diagnosis (DSLOGMSG) a failure row keeps:
// what fits the store's SQL Server columns; longer texts are cut rather than refused.
inline constexpr int kLogSincDlvDetailChars = 254;
inline constexpr int kLogSincDlvDiagnosisChars = 499;

// Adds the failure row of the current order of cdsVendaRest (its central NRVENDAREST as
// NRVENDARESTAUX), cutting both texts to their widths, then logs the diagnosis.
void InsereLogSincDlv(Services& services, const Dataset& order_row, const std::string& detail,
                      const std::string& diagnosis);

// acmDelLogSincDlv: removes the failure rows of one order (by its central number and opening
// date-time) and the old printed rows of the branch and store.
void LimpaLogSincDlv(Database& db, const std::string& cdfilial, const std::string& cdloja,
                     const std::string& nrvendarestaux, DateTime dthrabermesa);

}  // namespace zlv
