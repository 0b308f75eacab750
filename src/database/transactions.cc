#include "database/transactions.h"

namespace zlv {

void AbreTransacao(Database& db) {
  if (!db.InTransaction()) db.Begin();
}

void ConfirmaTransacao(Database& db) {
  if (db.InTransaction()) db.Commit();
}

void DesfazTransacao(Database& db) {
  if (db.InTransaction()) db.Rollback();
}

}  // namespace zlv
