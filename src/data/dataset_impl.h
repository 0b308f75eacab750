// The inside of Dataset, shared by dataset.cc (contents, fields, editing) and dataset_view.cc
// (the view: filter, index order, cursor placement). Not part of the data layer's interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/dataset.h"
#include "data/filter.h"
#include "data/text_fold.h"

namespace zlv {

struct NoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const {
    // 64-bit FNV-1a on every build; a 32-bit size_t keeps its low half.
    uint64_t h = 14695981039346656037ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};

struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

struct Dataset::Impl {
  // A stored row. Rows are kept in storage order, which is the order of `seq`; the view and
  // the indexes break ties by it, so equal keys keep their storage order.
  struct Row {
    uint64_t seq;
    std::vector<Variant> cells;
  };
  struct IndexDef {
    std::string name;
    std::vector<std::string> fields;
    bool case_insensitive = false;
    bool descending = false;
  };
  enum class State { Browse, Insert, Edit };

  std::vector<FieldDef> fields;
  std::unordered_map<std::string, int, NoCaseHash, NoCaseEqual> field_cols;
  std::vector<std::unique_ptr<Row>> rows;
  uint64_t next_seq = 1;

  std::string filter_text;
  std::unique_ptr<FilterExpr> filter;
  bool filtered = false;
  // The filter is bound to the field positions when first used after the fields or the filter
  // changed (each change takes a new layout number), so a filter naming a missing field still
  // fails only when it has a row to test.
  uint64_t layout = 1;
  mutable uint64_t bound_layout = 0;

  std::vector<IndexDef> indexes;
  std::string index_name;
  std::vector<int> key_cols;  // the active index's fields, resolved
  bool key_case_insensitive = false;
  bool key_descending = false;

  // The visible rows in walk order, and the cursor over them. A view that failed to build (a
  // filter naming a missing field) stays stale and is rebuilt, or fails again, on next use.
  std::vector<Row*> view;
  bool view_stale = false;
  size_t pos = 0;
  bool eof = true;
  bool bof = true;

  State state = State::Browse;
  std::vector<Variant> pending;
  Row* editing = nullptr;

  int Col(std::string_view name) const;
  void IndexFields();

  // dataset_view.cc
  bool Passes(const Row& row) const;
  bool Less(const Row* a, const Row* b) const;
  void ResolveIndex();
  void DropIndexesWithout();
  void RebuildView(const Row* keep);
  void EnsureView();
  size_t ViewPosition(const Row* row) const;
  void PlaceInView(Row* row, bool visible);
  void PostPending();
};

}  // namespace zlv
