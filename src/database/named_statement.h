// NamedStatement: one component of the catalogue (an "adq" query or an "acm" command) on a
// connection. Parameters are set by name; a name used several times in the text takes the one
// value; every parameter is Null until set and keeps its value across executions until set
// again. The text of the connection's dialect is used, picked when the statement first runs
// (and again should a reconnection reach another dialect): a statement may be built before its
// connection is open.
//
// A query's rows, once opened, are held in a Dataset with a cursor (Result()); Packet() is
// the provider path (open, read every row, return them as a packet).
//
// Not thread-safe; belongs to the connection's thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"
#include "database/catalogue.h"

namespace zlv {

class NamedStatement {
 public:
  NamedStatement(Database& db, const StatementDef& def);
  NamedStatement(Database& db, std::string_view name);

  const StatementDef& def() const { return def_; }

  // Throws std::out_of_range naming the statement and the parameter when it has no such one.
  void SetParam(std::string_view name, Variant value);
  const Variant& Param(std::string_view name) const;

  // Commands.
  int64_t Execute();

  // Queries.
  void Open();
  void Close();
  bool Active() const { return active_; }
  Dataset& Result();  // throws std::logic_error when not open
  bool Eof() { return Result().Eof(); }
  bool IsEmpty() { return Result().IsEmpty(); }
  void Next() { Result().Next(); }
  const Variant& Field(std::string_view name) { return Result().Field(name); }
  DataPacket Packet();  // opens, returns every row, stays open

 private:
  int IndexOf(std::string_view name) const;       // -1 when absent
  int CheckedIndex(std::string_view name) const;  // throws std::out_of_range
  std::vector<Variant> Bound() const;             // one value per marker
  // The text for the connection's dialect, made when first asked for; throws
  // std::invalid_argument when it uses an undeclared parameter.
  const std::string& Sql();

  Database& db_;
  const StatementDef& def_;
  std::optional<Dialect> dialect_;  // the one sql_ was made for
  std::string sql_;                 // dialect text with '?' markers
  std::vector<int> marker_params_;  // parameter index per marker
  std::vector<Variant> values_;     // per parameter of def_.params
  Dataset result_;
  bool active_ = false;
};

// Turns ":P_NAME" markers into '?' (outside quoted literals and comments) and lists the
// names in marker order. Exposed for tests.
std::string ToPositional(std::string_view text, std::vector<std::string>* names);

}  // namespace zlv
