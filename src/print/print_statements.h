// Two store database reads the ticket writers need that the statement catalogue has no
// statement for. Each text is plain SQL that SQL Server and SQLite both run as written, and
// returns at most a few rows.
//
//  adqComandaCancelada (P_CDFILIAL, P_NRVENDARESTAUX): the header data of a cancelled order,
//    its sale, first order tab and consumer, by the central sale number: NRCOMANDAEXT,
//    IDORGCMDVENDA, DSCONSUMIDOR, DSOBSCOMANDA, NRMESA, NRMESAEATTAKE, NMCONSUMIDOR.
//  adqUnidadeProduto (P_CDPRODUTO): the product's unit, SGUNIDADE, which the scheduled-order
//    item selection of the delivery ticket does not return.
#pragma once

#include "database/catalogue.h"

namespace zlv {

const StatementDef& ComandaCanceladaStatement();
const StatementDef& UnidadeProdutoStatement();

}  // namespace zlv
