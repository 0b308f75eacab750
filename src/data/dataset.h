// Dataset: the in-memory dataset (the "cds" components). It holds a field list and rows, a
// cursor, an optional filter and optional named indexes that order the walk. Loaded from and
// saved to data packets and packet files.
//
// Cursor rules the business code relies on:
//  - First/Next walk the visible rows (those passing the filter when Filtered is on), in the
//    order of the active index, or in storage order when none is active.
//  - Eof() is true after Next() from the last visible row, and on an empty view.
//  - Delete() removes the current row; the cursor then stands on the row that followed it, or
//    on the new last row when the last row was deleted (Eof() stays false unless the view
//    became empty).
//  - Append() starts a new row (all fields Null); Edit() starts editing the current row;
//    SetField() changes the pending row (outside Append/Edit it throws std::logic_error);
//    Post() stores it (the cursor stands on it, in index order); Cancel() drops the pending
//    change; Delete() while appending just drops the new row. Moving the cursor with a pending
//    change posts it first, as the business code expects of its datasets.
//  - A posted edit that takes the row out of the filter leaves the cursor on the row that
//    followed it, as Delete() does, so a walk that edits rows out of its filter sees each once.
//  - Changing the filter text or the filtered switch moves to the first row; changing the
//    index or the fields keeps the current row.
//
// Not thread-safe: one dataset belongs to one thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_packet.h"

namespace zlv {

class FilterExpr;

class Dataset {
 public:
  Dataset();
  explicit Dataset(const DataPacket& packet);
  ~Dataset();
  Dataset(Dataset&&) noexcept;
  Dataset& operator=(Dataset&&) noexcept;
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  // Contents. LoadPacket replaces fields and rows and moves to the first row; the filter
  // text, the filtered switch and the index definitions stay (an index naming a field the new
  // fields lack is dropped).
  void LoadPacket(const DataPacket& packet);
  DataPacket Packet() const;  // every posted row in storage order, filter ignored
  // CopiaFiltrados: the rows that pass the filter, in walk order, same fields. Leaves the
  // cursor at the end (Eof).
  DataPacket CopyFiltered();
  void Clear();      // no fields, no rows
  void EmptyRows();  // keeps fields, drops rows

  void LoadFromFile(const std::filesystem::path& path);
  void SaveToFile(const std::filesystem::path& path) const;

  // Fields.
  const std::vector<FieldDef>& Fields() const;
  int FieldCount() const;
  bool HasField(std::string_view name) const;
  const FieldDef* FindField(std::string_view name) const;  // nullptr when absent
  void AddField(FieldDef field);                           // existing rows get Null in it
  void RemoveField(std::string_view name);                 // throws when absent

  // Cursor over the visible rows.
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const;
  bool Bof() const;
  bool IsEmpty() const;     // no visible row
  int RecordCount() const;  // visible rows
  int RecNo() const;        // 1-based position in the view; 0 when empty
  // Moves to the first visible row whose fields equal the values (texts compared exactly).
  bool Locate(const std::vector<std::string>& fields, const std::vector<Variant>& values);

  // The current row's value (the pending one while appending or editing). Throws
  // std::out_of_range naming the field when there is no such field, and std::logic_error
  // when there is no current row.
  const Variant& Field(std::string_view name) const;
  std::string Text(std::string_view name) const { return Field(name).AsText(); }

  void Append();
  void Edit();
  void SetField(std::string_view name, Variant value);  // coerced to the field's type
  void Post();
  void Cancel();
  void Delete();

  // Filter texts: comparisons "FIELD = 'x'", "FIELD <> 'x'", "FIELD IN ('a','b')" (also with
  // numbers), joined with AND, optional parentheses (see filter.h). SetFilter throws
  // std::invalid_argument on a malformed text, and std::out_of_range when the dataset is
  // filtered and the text names a missing field; either way the previous filter stays.
  void SetFilter(std::string text);
  const std::string& Filter() const;
  void SetFiltered(bool on);
  bool Filtered() const;

  // Named indexes. An empty name selects storage order.
  void AddIndex(std::string name, std::vector<std::string> fields, bool case_insensitive = false,
                bool descending = false);
  void SetIndexName(std::string name);  // throws std::invalid_argument when unknown
  const std::string& IndexName() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zlv
