#include "store/consumer_writer.h"

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bizlib/log_text.h"
#include "database/named_statement.h"
#include "database/row_params.h"
#include "database/transactions.h"

namespace zlv {

namespace {

// A local table written whole from a downloaded row.
struct LocalTable {
  const char* name;
  std::vector<const char*> key;
  const char* time_stamp;  // the column whose later value allows an overwrite
};

const LocalTable kConsumidor{"CONSUMIDOR", {"CDCLIENTE", "CDCONSUMIDOR"}, "DTULTATUCSUM"};
const LocalTable kConsumiFilial{
    "CONSUMIFILIAL", {"CDCLIENTE", "CDCONSUMIDOR", "CDFILIAL"}, "DTULTATU"};

// Column names come from the store database's own result; anything but a plain name is
// refused rather than put into a statement text.
const std::string& CheckedName(const std::string& name) {
  const bool plain = !name.empty() && name.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_") == std::string::npos;
  if (!plain) throw std::runtime_error("Nome de coluna inválido: " + name);
  return name;
}

using ValueOf = std::function<Variant(const Dataset& downloaded, const std::string& column)>;

// Inserts the downloaded row, or updates the existing local row, writing every local column.
void WriteWholeRow(Database& db, const LocalTable& table, const std::vector<FieldDef>& columns,
                   const Dataset& downloaded, bool exists, const ValueOf& value_of) {
  std::vector<Variant> values;
  for (const FieldDef& column : columns) values.push_back(value_of(downloaded, column.name));

  std::string sql;
  if (!exists) {
    std::string names, markers;
    for (const FieldDef& column : columns) {
      names += (names.empty() ? "" : ", ") + CheckedName(column.name);
      markers += markers.empty() ? "?" : ", ?";
    }
    sql = std::string("INSERT INTO ") + table.name + " (" + names + ") VALUES (" + markers + ")";
  } else {
    std::string assignments, condition;
    for (const FieldDef& column : columns) {
      assignments += (assignments.empty() ? "" : ", ") + CheckedName(column.name) + " = ?";
    }
    for (const char* key : table.key) {
      condition += std::string(condition.empty() ? "" : " AND ") + key + " = ?";
      values.push_back(Variant(downloaded.Text(key)));
    }
    sql = std::string("UPDATE ") + table.name + " SET " + assignments + " WHERE " + condition;
  }
  db.Execute(sql, values);
}

// Opens the local row of the downloaded row's key; returns whether the downloaded row is to be
// written (no local row, or a strictly later time stamp) and whether the local row exists.
bool ShouldWrite(NamedStatement& local, const LocalTable& table, const Dataset& downloaded,
                 bool* exists) {
  local.Close();
  for (const char* key : table.key) {
    local.SetParam(std::string("P_") + key, downloaded.Text(key));
  }
  local.Open();
  *exists = !local.IsEmpty();
  if (!*exists) return true;
  return downloaded.Field(table.time_stamp).AsDateTime() >
         local.Field(table.time_stamp).AsDateTime();
}

// Date-times of a consumer are kept only when set: an empty or zero date is NULL.
Variant ConsumidorValue(const Dataset& downloaded, const std::string& column) {
  if (IsDateTimeColumn(downloaded, column)) {
    const DateTime value = downloaded.Field(column).AsDateTime();
    return value.days() > 0 ? Variant(value) : Variant::Null();
  }
  return ColumnValue(downloaded, column);
}

Variant UnchangedValue(const Dataset& downloaded, const std::string& column) {
  return ColumnValue(downloaded, column);
}

}  // namespace

void InsereConsumidor(Services& services, DownloadSets& sets) {
  Dataset& rows = sets.cdsCons;
  services.log.GravaLog("Metodo -> \"InsereConsumidor\" - " + std::to_string(rows.RecordCount()) +
                        " consumidores");
  NamedStatement local(services.db, "adqCliConsumidor");
  for (rows.First(); !rows.Eof(); rows.Next()) {
    try {
      AbreTransacao(services.db);
      bool exists = false;
      if (!ShouldWrite(local, kConsumidor, rows, &exists)) {
        // Nothing to write: end the consumer's transaction here, not in a later consumer's.
        DesfazTransacao(services.db);
        continue;
      }
      WriteWholeRow(services.db, kConsumidor, local.Result().Fields(), rows, exists,
                    ConsumidorValue);
      ConfirmaTransacao(services.db);
    } catch (const std::exception& e) {
      DesfazTransacao(services.db);
      services.log.GravaLog("Rollback - CLIENTE:" + rows.Text("CDCLIENTE") + " " +
                            "CONSUMIDOR:" + rows.Text("CDCONSUMIDOR"));
      services.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
    }
  }
}

void InsereConsumiFilial(Services& services, DownloadSets& sets) {
  Dataset& rows = sets.cdsConsumiFilial;
  services.log.GravaLog("Metodo -> \"InsereConsumiFilial\"");
  NamedStatement local(services.db, "adqCliConsumiFilial");
  for (rows.First(); !rows.Eof(); rows.Next()) {
    try {
      bool exists = false;
      if (!ShouldWrite(local, kConsumiFilial, rows, &exists)) continue;
      WriteWholeRow(services.db, kConsumiFilial, local.Result().Fields(), rows, exists,
                    UnchangedValue);
    } catch (const std::exception& e) {
      services.log.GravaLog("CLIENTE:" + rows.Text("CDCLIENTE") + " " +
                            "CONSUMIDOR:" + rows.Text("CDCONSUMIDOR"));
      services.log.GravaLog(std::string("ERRO: ") + LogText(e.what()));
    }
  }
}

}  // namespace zlv
