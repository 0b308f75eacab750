// getMsgValidaProd: turns the error messages of a failed order into a short diagnosis for the
// store staff (what master data this cash register lacks), written to LOGSINCDLV beside the
// raw messages.
//
// The error text is a sequence of messages each ending in ";;". A foreign-key message of an
// insert names the table and the column, in the shape both the store's SQL Server and the
// embedded SQLite driver use:
//   ... INSERT ... tabela "MORVANE.<TABLE>", column '<COLUMN>'
// A missing operator or seller is named; a missing product is asked about at the central
// server (ValidaProduto), whose answer rows are loaded into cdsValidaProduto. Other failures
// are described by the kind of row that failed (observation, payment, loyalty points).
//
// Main thread only.
#pragma once

#include <string>

#include "data/dataset.h"
#include "store/central_calls.h"

namespace zlv {

// The table and column a foreign-key message of an insert names; both empty when the message
// does not have that shape.
struct ForeignKeyTarget {
  std::string table;
  std::string column;
};
ForeignKeyTarget ParseForeignKeyMessage(const std::string& message);

// Reads CDOPERADOR, CDVENDEDOR, CDFILIAL, NRVENDAREST (central) and CDLOJA of the current
// row of order_row. Returns pieces each ending in " ; ", or an empty text. Never throws: when
// anything fails (the remote call, a missing column) the diagnosis is given up and an empty
// text returned, so the caller never mistakes an earlier order's diagnosis for this one's.
std::string getMsgValidaProd(CentralCalls& central, Dataset& cdsValidaProduto,
                             const std::string& error_text, const std::string& product_code,
                             const std::string& table_name, const Dataset& order_row);

}  // namespace zlv
