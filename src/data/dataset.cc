#include "data/dataset.h"

#include <algorithm>
#include <stdexcept>

#include "data/dataset_impl.h"
#include "data/value_compare.h"

namespace zlv {

int Dataset::Impl::Col(std::string_view name) const {
  auto it = field_cols.find(name);
  if (it == field_cols.end()) {
    throw std::out_of_range("Field '" + std::string(name) + "' not found");
  }
  return it->second;
}

void Dataset::Impl::IndexFields() {
  ++layout;
  field_cols.clear();
  for (size_t i = 0; i < fields.size(); ++i)
    field_cols.emplace(fields[i].name, static_cast<int>(i));
}

Dataset::Dataset() : impl_(std::make_unique<Impl>()) {}
Dataset::Dataset(const DataPacket& packet) : Dataset() { LoadPacket(packet); }
Dataset::~Dataset() = default;
Dataset::Dataset(Dataset&&) noexcept = default;
Dataset& Dataset::operator=(Dataset&&) noexcept = default;

void Dataset::LoadPacket(const DataPacket& packet) {
  // Everything is checked and converted before anything is replaced: a bad packet leaves the
  // dataset as it was.
  if (const int repeated = FirstRepeatedField(packet.fields); repeated >= 0) {
    throw std::invalid_argument("field " + packet.fields[static_cast<size_t>(repeated)].name +
                                " appears twice");
  }
  std::vector<std::unique_ptr<Impl::Row>> rows;
  rows.reserve(packet.rows.size());
  uint64_t seq = 1;
  for (const auto& cells : packet.rows) {
    if (cells.size() != packet.fields.size()) {
      throw std::invalid_argument("row " + std::to_string(seq) + " has " +
                                  std::to_string(cells.size()) + " cells for " +
                                  std::to_string(packet.fields.size()) + " fields");
    }
    auto row = std::make_unique<Impl::Row>(Impl::Row{seq++, {}});
    row->cells.reserve(cells.size());
    for (size_t c = 0; c < cells.size(); ++c) {
      row->cells.push_back(CoerceToField(cells[c], packet.fields[c]));
    }
    rows.push_back(std::move(row));
  }
  Impl& d = *impl_;
  d.state = Impl::State::Browse;
  d.pending.clear();
  d.editing = nullptr;
  d.fields = packet.fields;
  d.IndexFields();
  d.rows = std::move(rows);
  d.next_seq = seq;
  d.DropIndexesWithout();
  d.RebuildView(nullptr);
}

DataPacket Dataset::Packet() const {
  DataPacket packet;
  packet.fields = impl_->fields;
  packet.rows.reserve(impl_->rows.size());
  for (const auto& row : impl_->rows) packet.rows.push_back(row->cells);
  return packet;
}

DataPacket Dataset::CopyFiltered() {
  Impl& d = *impl_;
  d.PostPending();
  d.EnsureView();
  DataPacket packet;
  packet.fields = d.fields;
  packet.rows.reserve(d.view.size());
  for (const Impl::Row* row : d.view) packet.rows.push_back(row->cells);
  d.pos = d.view.empty() ? 0 : d.view.size() - 1;
  d.eof = true;
  return packet;
}

void Dataset::Clear() { LoadPacket(DataPacket{}); }

void Dataset::EmptyRows() {
  Impl& d = *impl_;
  d.state = Impl::State::Browse;
  d.pending.clear();
  d.editing = nullptr;
  d.rows.clear();
  d.RebuildView(nullptr);
}

void Dataset::LoadFromFile(const std::filesystem::path& path) { LoadPacket(LoadPacketFile(path)); }

void Dataset::SaveToFile(const std::filesystem::path& path) const {
  SavePacketFile(path, Packet());
}

const std::vector<FieldDef>& Dataset::Fields() const { return impl_->fields; }
int Dataset::FieldCount() const { return static_cast<int>(impl_->fields.size()); }
const FieldDef* Dataset::FindField(std::string_view name) const {
  auto it = impl_->field_cols.find(name);
  return it == impl_->field_cols.end() ? nullptr : &impl_->fields[it->second];
}

bool Dataset::HasField(std::string_view name) const { return impl_->field_cols.contains(name); }

void Dataset::AddField(FieldDef field) {
  Impl& d = *impl_;
  if (field.name.empty()) throw std::invalid_argument("a field needs a name");
  if (HasField(field.name)) throw std::invalid_argument("field " + field.name + " already exists");
  const Impl::Row* current = d.view.empty() ? nullptr : d.view[d.pos];
  d.fields.push_back(std::move(field));
  d.IndexFields();
  for (auto& row : d.rows) row->cells.push_back(Variant::Null());
  if (d.state != Impl::State::Browse) d.pending.push_back(Variant::Null());
  d.RebuildView(current);
}

void Dataset::RemoveField(std::string_view name) {
  Impl& d = *impl_;
  const int col = d.Col(name);
  const Impl::Row* current = d.view.empty() ? nullptr : d.view[d.pos];
  d.fields.erase(d.fields.begin() + col);
  d.IndexFields();
  for (auto& row : d.rows) row->cells.erase(row->cells.begin() + col);
  if (d.state != Impl::State::Browse) d.pending.erase(d.pending.begin() + col);
  d.DropIndexesWithout();
  d.RebuildView(current);
}

void Dataset::First() {
  Impl& d = *impl_;
  d.PostPending();
  d.EnsureView();
  d.pos = 0;
  d.eof = d.view.empty();
  d.bof = true;
}

void Dataset::Next() {
  Impl& d = *impl_;
  d.PostPending();
  d.EnsureView();
  if (d.pos + 1 < d.view.size()) {
    ++d.pos;
  } else {
    d.eof = true;
  }
  d.bof = d.view.empty();
}

void Dataset::Prior() {
  Impl& d = *impl_;
  d.PostPending();
  d.EnsureView();
  if (d.pos > 0) {
    --d.pos;
  } else {
    d.bof = true;
  }
  d.eof = d.view.empty();
}

void Dataset::Last() {
  Impl& d = *impl_;
  d.PostPending();
  d.EnsureView();
  d.pos = d.view.empty() ? 0 : d.view.size() - 1;
  d.eof = d.view.empty();
  d.bof = d.view.empty();
}

bool Dataset::Eof() const { return impl_->eof; }
bool Dataset::Bof() const { return impl_->bof; }
bool Dataset::IsEmpty() const { return impl_->view.empty(); }
int Dataset::RecordCount() const { return static_cast<int>(impl_->view.size()); }
int Dataset::RecNo() const { return impl_->view.empty() ? 0 : static_cast<int>(impl_->pos) + 1; }

bool Dataset::Locate(const std::vector<std::string>& fields, const std::vector<Variant>& values) {
  Impl& d = *impl_;
  if (fields.size() != values.size()) {
    throw std::invalid_argument("Locate: " + std::to_string(fields.size()) + " fields for " +
                                std::to_string(values.size()) + " values");
  }
  d.PostPending();
  d.EnsureView();
  std::vector<int> cols;
  for (const std::string& f : fields) cols.push_back(d.Col(f));
  for (size_t i = 0; i < d.view.size(); ++i) {
    bool match = true;
    for (size_t k = 0; k < cols.size() && match; ++k) {
      match = ValuesMatch(d.view[i]->cells[cols[k]], values[k]);
    }
    if (match) {
      d.pos = i;
      d.eof = d.bof = false;
      return true;
    }
  }
  return false;
}

const Variant& Dataset::Field(std::string_view name) const {
  const Impl& d = *impl_;
  const int col = d.Col(name);
  if (d.state != Impl::State::Browse) return d.pending[col];
  if (d.view.empty()) {
    throw std::logic_error("no current row to read field " + std::string(name) + " from");
  }
  return d.view[d.pos]->cells[col];
}

void Dataset::Append() {
  Impl& d = *impl_;
  d.PostPending();
  d.pending.assign(d.fields.size(), Variant::Null());
  d.state = Impl::State::Insert;
}

void Dataset::Edit() {
  Impl& d = *impl_;
  if (d.state != Impl::State::Browse) return;
  d.EnsureView();
  if (d.view.empty()) throw std::logic_error("no current row to edit");
  d.editing = d.view[d.pos];
  d.pending = d.editing->cells;
  d.state = Impl::State::Edit;
}

void Dataset::SetField(std::string_view name, Variant value) {
  Impl& d = *impl_;
  const int col = d.Col(name);
  if (d.state == Impl::State::Browse) {
    throw std::logic_error("field " + std::string(name) + " set outside Append or Edit");
  }
  d.pending[col] = CoerceToField(value, d.fields[col]);
}

void Dataset::Post() { impl_->PostPending(); }

void Dataset::Cancel() {
  Impl& d = *impl_;
  d.state = Impl::State::Browse;
  d.pending.clear();
  d.editing = nullptr;
}

void Dataset::Delete() {
  Impl& d = *impl_;
  const bool inserting = d.state == Impl::State::Insert;
  Cancel();
  if (inserting) return;  // the row being appended was never stored
  d.EnsureView();
  if (d.view.empty()) throw std::logic_error("no current row to delete");
  const Impl::Row* row = d.view[d.pos];
  d.view.erase(d.view.begin() + static_cast<std::ptrdiff_t>(d.pos));
  auto stored = std::lower_bound(d.rows.begin(), d.rows.end(), row->seq,
                                 [](const auto& r, uint64_t seq) { return r->seq < seq; });
  d.rows.erase(stored);
  if (d.pos >= d.view.size() && !d.view.empty()) d.pos = d.view.size() - 1;
  d.eof = d.bof = d.view.empty();
}

void Dataset::SetFilter(std::string text) {
  Impl& d = *impl_;
  d.PostPending();
  const bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos;
  std::unique_ptr<FilterExpr> expr = blank ? nullptr : FilterExpr::Parse(text);
  std::swap(d.filter, expr);
  std::swap(d.filter_text, text);
  ++d.layout;
  try {
    if (d.filtered) d.RebuildView(nullptr);
  } catch (...) {
    std::swap(d.filter, expr);
    std::swap(d.filter_text, text);
    ++d.layout;
    d.RebuildView(nullptr);
    throw;
  }
}

const std::string& Dataset::Filter() const { return impl_->filter_text; }

void Dataset::SetFiltered(bool on) {
  Impl& d = *impl_;
  d.PostPending();
  if (d.filtered == on && !d.view_stale) return;
  d.filtered = on;
  try {
    d.RebuildView(nullptr);
  } catch (...) {
    d.filtered = !on;
    d.RebuildView(nullptr);
    throw;
  }
}

bool Dataset::Filtered() const { return impl_->filtered; }

void Dataset::AddIndex(std::string name, std::vector<std::string> fields, bool case_insensitive,
                       bool descending) {
  Impl& d = *impl_;
  if (name.empty() || fields.empty()) {
    throw std::invalid_argument("an index needs a name and at least one field");
  }
  const bool active = EqualsNoCase(name, d.index_name);
  if (active) {
    d.PostPending();
    for (const std::string& f : fields) d.Col(f);  // the walk order cannot lose a field
  }
  std::erase_if(d.indexes, [&](const Impl::IndexDef& i) { return EqualsNoCase(i.name, name); });
  d.indexes.push_back({std::move(name), std::move(fields), case_insensitive, descending});
  if (active) {
    const Impl::Row* current = d.view.empty() ? nullptr : d.view[d.pos];
    d.ResolveIndex();
    d.RebuildView(current);
  }
}

void Dataset::SetIndexName(std::string name) {
  Impl& d = *impl_;
  d.PostPending();
  const Impl::Row* current = d.view.empty() ? nullptr : d.view[d.pos];
  std::swap(d.index_name, name);
  try {
    d.ResolveIndex();
  } catch (...) {
    std::swap(d.index_name, name);
    d.ResolveIndex();
    throw;
  }
  d.RebuildView(current);
}

const std::string& Dataset::IndexName() const { return impl_->index_name; }

}  // namespace zlv
