#include "store/number_generator.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "store/number_sequences.h"

namespace zlv {

namespace {

using numbers::Sequence;

// The counters' table ZLVPROXCODIGO is made by the database scripts in db/: one row per
// counter (branch, counter name, day ('' for counters that are not per day), the last number
// handed out or skipped).
constexpr const char* kUpdate =
    "UPDATE ZLVPROXCODIGO SET NRULTIMO = NRULTIMO + ? "
    "WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?";
constexpr const char* kSelect =
    "SELECT NRULTIMO FROM ZLVPROXCODIGO WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?";
// Raises a counter to a number, never lowers it.
constexpr const char* kRaise =
    "UPDATE ZLVPROXCODIGO SET NRULTIMO = ? "
    "WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ? AND NRULTIMO < ?";
// Creates the counter unless another connection did meanwhile. On SQL Server the key-range
// lock makes a second creator wait for the first to commit and then find the row.
constexpr const char* kInsertSqlite =
    "INSERT INTO ZLVPROXCODIGO (CDFILIAL, NMCONTADOR, DTCONTADOR, NRULTIMO) SELECT ?, ?, ?, ? "
    "WHERE NOT EXISTS (SELECT 1 FROM ZLVPROXCODIGO "
    "WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?)";
constexpr const char* kInsertSqlServer =
    "INSERT INTO ZLVPROXCODIGO (CDFILIAL, NMCONTADOR, DTCONTADOR, NRULTIMO) SELECT ?, ?, ?, ? "
    "WHERE NOT EXISTS (SELECT 1 FROM ZLVPROXCODIGO WITH (UPDLOCK, HOLDLOCK) "
    "WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?)";
// Item counters are per order tab. A tab's items are written in the transaction that created
// the tab, so the counters of the branch's other tabs are dropped when a new one starts; one
// that came back would start above the tab's items anyway.
constexpr const char* kDropItemCounters =
    "DELETE FROM ZLVPROXCODIGO WHERE CDFILIAL = ? AND NMCONTADOR LIKE 'NRPRODCOMVEN:%' "
    "AND NMCONTADOR <> ?";

// After this many numbers in a row found in use, the next candidate is taken above the highest
// number in use instead: another program that counts in the same range in bulk costs one scan,
// not one lookup per number it took.
constexpr int kSeeksBeforeJump = 100;

// One counter of one sequence and the rows its numbers must stay clear of.
struct Counter {
  const Sequence& seq;
  std::string cdfilial;
  std::string name;            // NMCONTADOR
  std::string day;             // DTCONTADOR
  std::vector<Variant> scope;  // the parameters of seq.scope
  std::vector<Variant> key() const { return {cdfilial, name, day}; }
};

bool SqlServer(Database& db) { return db.dialect() == Dialect::SqlServer; }

// The highest whole number stored in the column for the counter's rows. Texts that are not
// whole numbers do not count. A scan: run when a counter is made, and after a long run of
// numbers found in use.
int64_t HighestInUse(Database& db, const Counter& c) {
  const std::string col = c.seq.column;
  const std::string max = SqlServer(db)
                              ? "MAX(CASE WHEN " + col + " NOT LIKE '%[^0-9]%' AND LEN(" + col +
                                    ") BETWEEN 1 AND 18 THEN CAST(" + col + " AS BIGINT) END)"
                              : "MAX(CASE WHEN " + col + " NOT GLOB '*[^0-9]*' AND LENGTH(" + col +
                                    ") BETWEEN 1 AND 18 THEN CAST(" + col + " AS INTEGER) END)";
  const DataPacket found = db.Query(
      "SELECT " + max + " AS NRULTIMO FROM " + c.seq.table + " WHERE " + c.seq.scope, c.scope);
  return found.rows.empty() ? 0 : found.rows[0][0].AsInteger();
}

std::string Padded(int64_t number, const Counter& c) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) > c.seq.width) {
    throw DatabaseError(std::string("Contador ") + c.seq.counter + " da filial " + c.cdfilial +
                        " esgotado (" + std::to_string(c.seq.width) + " dígitos)");
  }
  return std::string(c.seq.width - digits.size(), '0') + digits;
}

bool InUse(Database& db, const Counter& c, const std::string& text) {
  std::vector<Variant> params = c.scope;
  params.emplace_back(text);
  const DataPacket found = db.Query(numbers::InUseQuery(c.seq), params);
  return !found.rows.empty() && found.rows[0][0].AsInteger() != 0;
}

// The next number of the counter, incremented in the open transaction. False when the counter
// does not exist yet.
bool Increment(Database& db, const Counter& c, int step, int64_t& number) {
  if (db.Execute(kUpdate, {step, c.cdfilial, c.name, c.day}, 0) == 0) return false;
  number = db.Query(kSelect, c.key()).rows.at(0).at(0).AsInteger();
  return true;
}

// Makes the counter at `number` unless another connection made it meanwhile; false then.
bool Create(Database& db, const Counter& c, int64_t number) {
  return db.Execute(SqlServer(db) ? kInsertSqlServer : kInsertSqlite,
                    {c.cdfilial, c.name, c.day, number, c.cdfilial, c.name, c.day}, 0) > 0;
}

void Raise(Database& db, const Counter& c, int64_t number) {
  db.Execute(kRaise, {number, c.cdfilial, c.name, c.day, number}, 0);
}

int64_t FirstCandidate(Database& db, const Counter& c, int step) {
  int64_t number = 0;
  if (Increment(db, c, step, number)) return number;
  number = HighestInUse(db, c) + step;
  if (Create(db, c, number)) {
    if (&c.seq == &numbers::kItemComanda) db.Execute(kDropItemCounters, {c.cdfilial, c.name}, 0);
    return number;
  }
  // Another connection created the counter between the two statements.
  if (!Increment(db, c, step, number)) {
    throw DatabaseError(std::string("Contador ") + c.name + " indisponível");
  }
  return number;
}

// Takes the next number of one counter inside the open transaction (or a transaction of its
// own when none is open, so that the read and the write stay together). A number another
// program already stored in the sequence's rows is passed over; the highest such number is
// returned in `skipped` (0 when none was).
std::string Take(Database& db, const Counter& c, int step, int64_t& skipped) {
  skipped = 0;
  const bool own = !db.InTransaction();
  if (own) db.Begin();
  try {
    int64_t number = FirstCandidate(db, c, step);
    std::string text = Padded(number, c);
    for (int seeks = 1; InUse(db, c, text); ++seeks) {
      skipped = number;
      if (seeks % kSeeksBeforeJump == 0) {
        number = std::max(number, HighestInUse(db, c)) + step;
      } else {
        number += step;
      }
      Raise(db, c, number);
      text = Padded(number, c);
    }
    if (own) db.Commit();
    return text;
  } catch (...) {
    if (own && db.InTransaction()) db.Rollback();
    throw;
  }
}

}  // namespace

void NumberAdvances::Keep(Database& db) {
  if (pending_.empty() || db.InTransaction()) return;
  try {
    db.Begin();
    for (const Advance& a : pending_) {
      const Counter c{*a.seq, a.cdfilial, a.name, a.day, {}};
      if (!Create(db, c, a.number)) Raise(db, c, a.number);
    }
    db.Commit();
    pending_.clear();
  } catch (const std::exception&) {
    // The next order seeks past the same numbers again meanwhile; the advance is tried again
    // after it.
    if (db.InTransaction()) {
      try {
        db.Rollback();
      } catch (const std::exception&) {
      }
    }
  }
}

std::string TdtmZlvProxCodigo::Next(const numbers::Sequence& seq, const std::string& cdfilial,
                                    std::string name, std::string day, int step,
                                    std::vector<Variant> scope) {
  const Counter c{seq, cdfilial, std::move(name), std::move(day), std::move(scope)};
  int64_t skipped = 0;
  std::string text = Take(db_, c, step, skipped);
  if (skipped != 0 && advances_ != nullptr && db_.InTransaction()) {
    advances_->pending_.push_back({&seq, c.cdfilial, c.name, c.day, skipped});
  }
  return text;
}

std::string TdtmZlvProxCodigo::PrxVendaRest(const std::string& cdfilial) {
  return Next(numbers::kVendaRest, cdfilial, numbers::kVendaRest.counter, "", 1, {cdfilial});
}

std::string TdtmZlvProxCodigo::PrxItComandaVen(const std::string& cdfilial) {
  return Next(numbers::kItComandaVen, cdfilial, numbers::kItComandaVen.counter, "", 1, {cdfilial});
}

std::string TdtmZlvProxCodigo::PrxReqExterna(const std::string& cdfilial) {
  return Next(numbers::kReqExterna, cdfilial, numbers::kReqExterna.counter, "", 1, {cdfilial});
}

std::string TdtmZlvProxCodigo::PrxComandaVen(const std::string& cdfilial) {
  return Next(numbers::kComandaVen, cdfilial, numbers::kComandaVen.counter, "", 1, {cdfilial});
}

std::string TdtmZlvProxCodigo::PrxItemComanda(const std::string& cdfilial,
                                              const std::string& nrcomanda, int step) {
  return Next(numbers::kItemComanda, cdfilial,
              std::string(numbers::kItemComanda.counter) + ":" + nrcomanda, "", step,
              {cdfilial, nrcomanda});
}

std::string TdtmZlvProxCodigo::PrxVendaDia(const std::string& cdfilial, DateTime day) {
  const DateTime start = day.DateOnly();
  return Next(numbers::kVendaDia, cdfilial, numbers::kVendaDia.counter, start.ToIso().substr(0, 10),
              1, {cdfilial, start, DateTime(start.days() + 1)});
}

}  // namespace zlv
