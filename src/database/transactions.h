// The three transaction operations of the writers, on the store connection.
//  AbreTransacao: begins a transaction unless one is open.
//  ConfirmaTransacao: commits the open transaction; nothing when none is open.
//  DesfazTransacao: rolls back the open transaction; nothing when none is open.
#pragma once

#include "database/database.h"

namespace zlv {

void AbreTransacao(Database& db);
void ConfirmaTransacao(Database& db);
void DesfazTransacao(Database& db);

}  // namespace zlv
