// The view of a Dataset: which rows are visible, in which order, and where the cursor stands.
#include <algorithm>
#include <stdexcept>

#include "data/dataset_impl.h"
#include "data/value_compare.h"

namespace zlv {

bool Dataset::Impl::Passes(const Row& row) const {
  if (!filtered || !filter) return true;
  if (bound_layout != layout) {
    filter->Bind([this](std::string_view name) { return static_cast<std::size_t>(Col(name)); });
    bound_layout = layout;
  }
  return filter->Matches(row.cells);
}

bool Dataset::Impl::Less(const Row* a, const Row* b) const {
  for (int col : key_cols) {
    int c = CompareCells(a->cells[col], b->cells[col], key_case_insensitive);
    if (key_descending) c = -c;
    if (c != 0) return c < 0;
  }
  return a->seq < b->seq;
}

// Resolves the active index's fields, or throws and changes nothing.
void Dataset::Impl::ResolveIndex() {
  if (index_name.empty()) {
    key_cols.clear();
    key_case_insensitive = key_descending = false;
    return;
  }
  auto def = std::find_if(indexes.begin(), indexes.end(),
                          [&](const IndexDef& d) { return EqualsNoCase(d.name, index_name); });
  if (def == indexes.end()) throw std::invalid_argument("index " + index_name + " not found");
  std::vector<int> cols;
  for (const std::string& f : def->fields) {
    auto it = field_cols.find(f);
    if (it == field_cols.end()) {
      throw std::invalid_argument("index " + def->name + ": field " + f + " not found");
    }
    cols.push_back(it->second);
  }
  key_cols = std::move(cols);
  key_case_insensitive = def->case_insensitive;
  key_descending = def->descending;
}

// After the fields changed: an index over a field that is gone cannot order anything.
void Dataset::Impl::DropIndexesWithout() {
  std::erase_if(indexes, [&](const IndexDef& d) {
    return std::any_of(d.fields.begin(), d.fields.end(),
                       [&](const std::string& f) { return !field_cols.contains(f); });
  });
  const bool active_kept = std::any_of(indexes.begin(), indexes.end(), [&](const IndexDef& d) {
    return EqualsNoCase(d.name, index_name);
  });
  if (!active_kept) index_name.clear();
  ResolveIndex();
}

void Dataset::Impl::RebuildView(const Row* keep) {
  view.clear();
  view_stale = true;
  pos = 0;
  eof = bof = true;
  std::vector<Row*> rebuilt;
  rebuilt.reserve(rows.size());
  for (const auto& row : rows) {
    if (Passes(*row)) rebuilt.push_back(row.get());
  }
  if (!key_cols.empty()) {
    std::sort(rebuilt.begin(), rebuilt.end(), [this](Row* a, Row* b) { return Less(a, b); });
  }
  view = std::move(rebuilt);
  view_stale = false;
  if (keep) {
    auto it = std::find(view.begin(), view.end(), keep);
    if (it != view.end()) pos = static_cast<size_t>(it - view.begin());
  }
  eof = bof = view.empty();
}

void Dataset::Impl::EnsureView() {
  if (view_stale) RebuildView(nullptr);
}

// Where a row stands, or would stand, in the view: the view is sorted by Less.
size_t Dataset::Impl::ViewPosition(const Row* row) const {
  auto it = std::lower_bound(view.begin(), view.end(), row,
                             [this](const Row* a, const Row* b) { return Less(a, b); });
  return static_cast<size_t>(it - view.begin());
}

// Puts a row just posted into the view, or leaves it out when the filter hides it; the cursor
// stands on it, or where it would have stood.
void Dataset::Impl::PlaceInView(Row* row, bool visible) {
  pos = ViewPosition(row);
  if (visible) view.insert(view.begin() + static_cast<std::ptrdiff_t>(pos), row);
  if (pos >= view.size() && !view.empty()) pos = view.size() - 1;
  eof = view.empty();
  bof = false;
}

void Dataset::Impl::PostPending() {
  if (state == State::Browse) return;
  EnsureView();
  if (state == State::Insert) {
    auto row = std::make_unique<Row>(Row{next_seq, std::move(pending)});
    bool visible;
    try {
      visible = Passes(*row);
    } catch (...) {
      pending = std::move(row->cells);
      throw;
    }
    ++next_seq;
    Row* r = row.get();
    rows.push_back(std::move(row));
    state = State::Browse;
    PlaceInView(r, visible);
    return;
  }
  Row* r = editing;
  Row changed{r->seq, std::move(pending)};
  bool visible;
  try {
    visible = Passes(changed);
  } catch (...) {
    pending = std::move(changed.cells);
    throw;
  }
  state = State::Browse;
  editing = nullptr;
  const size_t old_pos = ViewPosition(r);
  if (old_pos < view.size() && view[old_pos] == r) {
    view.erase(view.begin() + static_cast<std::ptrdiff_t>(old_pos));
  }
  r->cells = std::move(changed.cells);
  if (visible) {
    PlaceInView(r, true);
    return;
  }
  // A row edited out of the filter leaves the cursor on the row that followed it, as a delete
  // does, so a walk that edits rows out of its own filter visits every row once.
  pos = std::min(old_pos, view.empty() ? 0 : view.size() - 1);
  eof = view.empty();
  bof = false;
}

}  // namespace zlv
