#include "bare_sqlite.h"

#include <sqlite3.h>

#include <set>
#include <stdexcept>

namespace zlv::bench {

namespace {

// The sets written, with their tables (the consumer's rows go in the order's transaction).
const std::map<int, const char*> kTables = {
    {kCons, "CONSUMIDOR"},           {kConsumiFilial, "CONSUMIFILIAL"},
    {kVendaRest, "VENDAREST"},       {kComandaVen, "COMANDAVEN"},
    {kItComandaVen, "ITCOMANDAVEN"}, {kObsItComandaVen, "OBSITCOMANDAVEN"},
    {kMovCaixaDlv, "MOVCAIXADLV"}};

}  // namespace

struct BareSqliteWriter::Insert {
  sqlite3_stmt* stmt = nullptr;
  std::vector<int> fields;  // packet field of each marker
  int sale = -1, tab = -1;  // fields renumbered locally
  ~Insert() { sqlite3_finalize(stmt); }
};

BareSqliteWriter::BareSqliteWriter(const std::filesystem::path& file) {
  if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file.string());
  }
  // What SetADODBSession gives the synchroniser's own connection.
  Exec("PRAGMA foreign_keys = ON");
  Exec("PRAGMA journal_mode = WAL");
  sqlite3_busy_timeout(db_, 5000);
}

BareSqliteWriter::~BareSqliteWriter() {
  inserts_.clear();
  sqlite3_close(db_);
}

void BareSqliteWriter::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(std::string(sql) + ": " + message);
  }
}

BareSqliteWriter::Insert& BareSqliteWriter::InsertFor(int set,
                                                      const std::vector<FieldDef>& fields) {
  auto& slot = inserts_[set];
  if (slot) return *slot;
  slot = std::make_unique<Insert>();
  const char* table = kTables.at(set);
  std::set<std::string> columns;
  sqlite3_stmt* info = nullptr;
  sqlite3_prepare_v2(db_, (std::string("PRAGMA table_info(") + table + ")").c_str(), -1, &info,
                     nullptr);
  while (sqlite3_step(info) == SQLITE_ROW) {
    columns.insert(reinterpret_cast<const char*>(sqlite3_column_text(info, 1)));
  }
  sqlite3_finalize(info);
  std::string names, markers;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!columns.count(fields[i].name)) continue;
    names += (names.empty() ? "" : ", ") + fields[i].name;
    markers += markers.empty() ? "?" : ", ?";
    if (fields[i].name == "NRVENDAREST") slot->sale = static_cast<int>(slot->fields.size());
    if (fields[i].name == "NRCOMANDA") slot->tab = static_cast<int>(slot->fields.size());
    slot->fields.push_back(static_cast<int>(i));
  }
  const std::string sql =
      std::string("INSERT INTO ") + table + " (" + names + ") VALUES (" + markers + ")";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &slot->stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
  }
  return *slot;
}

void BareSqliteWriter::Write(const GeneratedOrder& order) {
  const std::string sale = std::to_string(next_number_++);
  const std::string tab = std::to_string(next_number_++);
  Exec("BEGIN IMMEDIATE");
  for (const auto& [set, table] : kTables) {
    const DataPacket& packet = order.sets[set];
    Insert& insert = InsertFor(set, packet.fields);
    for (const auto& row : packet.rows) {
      sqlite3_reset(insert.stmt);
      for (std::size_t m = 0; m < insert.fields.size(); ++m) {
        const int at = static_cast<int>(m) + 1;
        const Variant& cell = row[static_cast<std::size_t>(insert.fields[m])];
        if (static_cast<int>(m) == insert.sale || static_cast<int>(m) == insert.tab) {
          const std::string& local = static_cast<int>(m) == insert.sale ? sale : tab;
          sqlite3_bind_text(insert.stmt, at, local.c_str(), -1, SQLITE_TRANSIENT);
        } else {
          switch (cell.type()) {
            case Variant::Type::Empty:
            case Variant::Type::Null:
              sqlite3_bind_null(insert.stmt, at);
              break;
            case Variant::Type::Integer:
              sqlite3_bind_int64(insert.stmt, at, cell.AsInteger());
              break;
            case Variant::Type::Float:
              sqlite3_bind_double(insert.stmt, at, cell.AsFloat());
              break;
            default:  // texts, and date-times in the store's ISO form
              sqlite3_bind_text(insert.stmt, at, cell.AsText().c_str(), -1, SQLITE_TRANSIENT);
          }
        }
      }
      if (sqlite3_step(insert.stmt) != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(db_);
        Exec("ROLLBACK");
        throw std::runtime_error(std::string(table) + ": " + message);
      }
    }
  }
  Exec("COMMIT");
}

}  // namespace zlv::bench
