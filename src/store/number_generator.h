// TdtmZlvProxCodigo: the generator of new local numbers. Counters live in the store database
// (table ZLVPROXCODIGO, made by the database scripts in db/), per branch and, for the day's
// call codes, per day; a new counter starts above the highest number already in its table for
// that branch. Each number is taken inside the caller's open transaction, so a rolled-back
// order gives its numbers back and a committed one never shares a number.
//
// The store's point-of-sale system writes sales and order tabs in the same tables with numbers
// of its own. A number it already stored is passed over (an index lookup per number), or the
// order would fail its key, the rollback would give the same number back, and every later order
// of the branch would fail the same way.
//
// Main thread only, on the store connection.
#pragma once

#include <string>
#include <vector>

#include "data/datetime.h"
#include "database/database.h"

namespace zlv {

namespace numbers {
struct Sequence;
}

// The advances past numbers found in use, taken inside an order's transaction. The rollback of
// a failed order undoes them with the order's own numbers; the next order would then look up
// the same used numbers again, and another process would start below them. So the writer keeps
// this for the length of its run and calls Keep once each order's transaction has ended: the
// advances are made again in a transaction of their own (after a commit they are there already
// and change nothing). The store connection is one, so this cannot happen while the order's
// transaction is open.
class NumberAdvances {
 public:
  // Applies the recorded advances when no transaction is open; never lowers a counter. When
  // the database refuses, keeps them for the next call; never throws.
  void Keep(Database& db);

 private:
  friend class TdtmZlvProxCodigo;
  struct Advance {
    const numbers::Sequence* seq;
    std::string cdfilial, name, day;
    int64_t number;
  };
  std::vector<Advance> pending_;
};

class TdtmZlvProxCodigo {
 public:
  // advances: where the advances taken inside the caller's transaction are recorded (null:
  // they are not kept past a rollback).
  explicit TdtmZlvProxCodigo(Database& db, NumberAdvances* advances = nullptr)
      : db_(db), advances_(advances) {}

  std::string PrxVendaRest(const std::string& cdfilial);
  std::string PrxItComandaVen(const std::string& cdfilial);
  std::string PrxReqExterna(const std::string& cdfilial);
  std::string PrxComandaVen(const std::string& cdfilial);
  std::string PrxItemComanda(const std::string& cdfilial, const std::string& nrcomanda, int step);
  std::string PrxVendaDia(const std::string& cdfilial, DateTime day);

 private:
  std::string Next(const numbers::Sequence& seq, const std::string& cdfilial, std::string name,
                   std::string day, int step, std::vector<Variant> scope);

  Database& db_;
  NumberAdvances* advances_;
};

}  // namespace zlv
