#include "storedb/number_generator.h"

#include <string_view>

namespace zlv {

namespace {

// One row per counter: branch, counter name, day ('' for counters that are not per day) and
// the last number handed out.
constexpr const char* kCreateSqlite =
    "CREATE TABLE IF NOT EXISTS ZLVPROXCODIGO (CDFILIAL VARCHAR(4) NOT NULL, "
    "NMCONTADOR VARCHAR(40) NOT NULL, DTCONTADOR VARCHAR(10) NOT NULL DEFAULT '', "
    "NRULTIMO INTEGER NOT NULL, PRIMARY KEY (CDFILIAL, NMCONTADOR, DTCONTADOR))";
constexpr const char* kCreateSqlServer =
    "IF OBJECT_ID('ZLVPROXCODIGO') IS NULL CREATE TABLE ZLVPROXCODIGO (CDFILIAL VARCHAR(4) NOT "
    "NULL, NMCONTADOR VARCHAR(40) NOT NULL, DTCONTADOR VARCHAR(10) NOT NULL DEFAULT '', "
    "NRULTIMO BIGINT NOT NULL, PRIMARY KEY (CDFILIAL, NMCONTADOR, DTCONTADOR))";

constexpr const char* kUpdate =
    "UPDATE ZLVPROXCODIGO SET NRULTIMO = NRULTIMO + ? "
    "WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?";
constexpr const char* kSelect =
    "SELECT NRULTIMO FROM ZLVPROXCODIGO WHERE CDFILIAL = ? AND NMCONTADOR = ? AND DTCONTADOR = ?";
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

// Where each number lands, and how wide its column is (numbers are zero-padded texts).
struct Sequence {
  const char* counter;  // NMCONTADOR
  const char* table;
  const char* column;
  int width;
};
constexpr Sequence kVendaRest{"NRVENDAREST", "VENDAREST", "NRVENDAREST", 10};
constexpr Sequence kComandaVen{"NRCOMANDA", "COMANDAVEN", "NRCOMANDA", 10};
constexpr Sequence kItComandaVen{"NRSEQPRODCUP", "ITCOMANDAVEN", "NRSEQPRODCUP", 10};
constexpr Sequence kReqExterna{"NRREQEXTCMD", "COMANDAVEN", "NRREQEXTCMD", 10};
constexpr Sequence kItemComanda{"NRPRODCOMVEN", "ITCOMANDAVEN", "NRPRODCOMVEN", 6};
constexpr Sequence kVendaDia{"CDSENHAPED", "ITCOMANDAVEN", "CDSENHAPED", 4};

// The highest whole number stored in the column for the rows the filter selects. Texts that
// are not whole numbers do not count.
int64_t HighestInUse(Database& db, const Sequence& seq, const std::string& filter,
                     const std::vector<Variant>& params) {
  const std::string col = seq.column;
  const std::string max = db.dialect() == Dialect::SqlServer
                              ? "MAX(CASE WHEN " + col + " NOT LIKE '%[^0-9]%' AND LEN(" + col +
                                    ") BETWEEN 1 AND 18 THEN CAST(" + col + " AS BIGINT) END)"
                              : "MAX(CASE WHEN " + col + " NOT GLOB '*[^0-9]*' AND LENGTH(" + col +
                                    ") BETWEEN 1 AND 18 THEN CAST(" + col + " AS INTEGER) END)";
  const DataPacket found =
      db.Query("SELECT " + max + " AS NRULTIMO FROM " + seq.table + " WHERE " + filter, params);
  return found.rows.empty() ? 0 : found.rows[0][0].AsInteger();
}

std::string Padded(int64_t number, const Sequence& seq, const std::string& cdfilial) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) > seq.width) {
    throw DatabaseError(std::string("Contador ") + seq.counter + " da filial " + cdfilial +
                        " esgotado (" + std::to_string(seq.width) + " dígitos)");
  }
  return std::string(seq.width - digits.size(), '0') + digits;
}

// Takes the next number of one counter inside the open transaction (or a transaction of its
// own when none is open, so that the read and the write stay together).
std::string Take(Database& db, const Sequence& seq, const std::string& cdfilial,
                 const std::string& counter, const std::string& day, int step,
                 const std::string& filter, const std::vector<Variant>& filter_params) {
  const bool own = !db.InTransaction();
  if (own) db.Begin();
  try {
    const bool mssql = db.dialect() == Dialect::SqlServer;
    db.Execute(mssql ? kCreateSqlServer : kCreateSqlite, {}, 0);
    const std::vector<Variant> key{cdfilial, counter, day};
    int64_t number = 0;
    if (db.Execute(kUpdate, {step, cdfilial, counter, day}, 0) > 0) {
      number = db.Query(kSelect, key).rows.at(0).at(0).AsInteger();
    } else {
      number = HighestInUse(db, seq, filter, filter_params) + step;
      if (db.Execute(mssql ? kInsertSqlServer : kInsertSqlite,
                     {cdfilial, counter, day, number, cdfilial, counter, day}, 0) == 0) {
        // Another connection created the counter between the two statements.
        if (db.Execute(kUpdate, {step, cdfilial, counter, day}, 0) == 0) {
          throw DatabaseError(std::string("Contador ") + counter + " indisponível");
        }
        number = db.Query(kSelect, key).rows.at(0).at(0).AsInteger();
      } else if (&seq == &kItemComanda) {
        db.Execute(kDropItemCounters, {cdfilial, counter}, 0);
      }
    }
    std::string text = Padded(number, seq, cdfilial);
    if (own) db.Commit();
    return text;
  } catch (...) {
    if (own && db.InTransaction()) db.Rollback();
    throw;
  }
}

std::string TakeForBranch(Database& db, const Sequence& seq, const std::string& cdfilial) {
  return Take(db, seq, cdfilial, seq.counter, "", 1, "CDFILIAL = ?", {cdfilial});
}

}  // namespace

std::string TdtmZlvProxCodigo::PrxVendaRest(const std::string& cdfilial) {
  return TakeForBranch(db_, kVendaRest, cdfilial);
}

std::string TdtmZlvProxCodigo::PrxItComandaVen(const std::string& cdfilial) {
  return TakeForBranch(db_, kItComandaVen, cdfilial);
}

std::string TdtmZlvProxCodigo::PrxReqExterna(const std::string& cdfilial) {
  return TakeForBranch(db_, kReqExterna, cdfilial);
}

std::string TdtmZlvProxCodigo::PrxComandaVen(const std::string& cdfilial) {
  return TakeForBranch(db_, kComandaVen, cdfilial);
}

std::string TdtmZlvProxCodigo::PrxItemComanda(const std::string& cdfilial,
                                              const std::string& nrcomanda, int step) {
  return Take(db_, kItemComanda, cdfilial, std::string(kItemComanda.counter) + ":" + nrcomanda, "",
              step, "CDFILIAL = ? AND NRCOMANDA = ?", {cdfilial, nrcomanda});
}

std::string TdtmZlvProxCodigo::PrxVendaDia(const std::string& cdfilial, DateTime day) {
  const DateTime start = day.DateOnly();
  const std::string iso_day = start.ToIso().substr(0, 10);
  return Take(db_, kVendaDia, cdfilial, kVendaDia.counter, iso_day, 1,
              "CDFILIAL = ? AND DTHRINCOMVEN >= ? AND DTHRINCOMVEN < ?",
              {cdfilial, start, DateTime(start.days() + 1)});
}

}  // namespace zlv
