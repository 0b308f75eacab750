// TdtmZlvProxCodigo: the generator of new local numbers. Counters live in the store database
// (table ZLVPROXCODIGO), per branch and, for the day's call codes, per day; a new counter starts
// above the highest number already in its table for that branch. Each number is taken inside
// the caller's open transaction, so a rolled-back order gives its numbers back and a committed
// one never shares a number.
#pragma once

#include <string>

#include "data/datetime.h"
#include "storedb/database.h"

namespace zlv {

class TdtmZlvProxCodigo {
 public:
  explicit TdtmZlvProxCodigo(Database& db) : db_(db) {}

  std::string PrxVendaRest(const std::string& cdfilial);
  std::string PrxItComandaVen(const std::string& cdfilial);
  std::string PrxReqExterna(const std::string& cdfilial);
  std::string PrxComandaVen(const std::string& cdfilial);
  std::string PrxItemComanda(const std::string& cdfilial, const std::string& nrcomanda, int step);
  std::string PrxVendaDia(const std::string& cdfilial, DateTime day);

 private:
  Database& db_;
};

}  // namespace zlv
