#include "database/named_statement.h"

#include <cctype>
#include <stdexcept>

#include "database/driver_common.h"

namespace zlv {

namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Where the literal, quoted name or comment starting at i ends (one past it); i itself when
// none starts there.
size_t SkipQuoted(std::string_view text, size_t i) {
  const char c = text[i];
  if (c == '\'' || c == '"' || c == '[') {
    const char close = c == '[' ? ']' : c;
    for (size_t j = i + 1; j < text.size(); ++j) {
      if (text[j] != close) continue;
      if (close != ']' && j + 1 < text.size() && text[j + 1] == close) {
        ++j;  // a doubled quote stands for itself
        continue;
      }
      return j + 1;
    }
    return text.size();
  }
  if (text.substr(i, 2) == "--") {
    const size_t end = text.find('\n', i);
    return end == std::string_view::npos ? text.size() : end;
  }
  if (text.substr(i, 2) == "/*") {
    const size_t end = text.find("*/", i + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
  }
  return i;
}

// A value set as text on a parameter declared as a number or a date-time is converted here,
// so the database never receives regional or blank text for such a column.
Variant ForParam(const StatementDef& def, const ParamDef& param, Variant value) {
  if (!value.IsText() || param.type == ParamType::Text) return value;
  const std::string text = value.AsText();
  if (text.find_first_not_of(' ') == std::string::npos) return Variant::Null();
  try {
    switch (param.type) {
      case ParamType::Integer:
        return Variant(value.AsInteger());
      case ParamType::Float:
        return Variant(value.AsFloat());
      default:
        return Variant(value.AsDateTime());
    }
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument(std::string(def.name) + ": valor '" + text +
                                "' inválido para o parâmetro " + std::string(param.name));
  }
}

}  // namespace

std::string ToPositional(std::string_view text, std::vector<std::string>* names) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t skipped = SkipQuoted(text, i);
    if (skipped != i) {
      out.append(text.substr(i, skipped - i));
      i = skipped;
      continue;
    }
    const char c = text[i];
    // "::" (SQL Server's static member call) and "a:b" are not markers.
    const bool marker = c == ':' && i + 1 < text.size() && IsNameStart(text[i + 1]) &&
                        (i == 0 || (!IsNameChar(text[i - 1]) && text[i - 1] != ':'));
    if (!marker) {
      out += c;
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    names->emplace_back(text.substr(i + 1, end - i - 1));
    out += '?';
    i = end;
  }
  return out;
}

NamedStatement::NamedStatement(Database& db, const StatementDef& def)
    : db_(db), def_(def), values_(def.params.size(), Variant::Null()) {}

const std::string& NamedStatement::Sql() {
  const Dialect dialect = db_.dialect();
  if (dialect_ == dialect) return sql_;
  std::vector<std::string> names;
  std::string sql = ToPositional(def_.TextFor(dialect), &names);
  std::vector<int> marker_params;
  for (const std::string& name : names) {
    const int index = IndexOf(name);
    if (index < 0) {
      throw std::invalid_argument(std::string(def_.name) + ": o texto usa o parâmetro " + name +
                                  ", que não está declarado");
    }
    marker_params.push_back(index);
  }
  sql_ = std::move(sql);
  marker_params_ = std::move(marker_params);
  dialect_ = dialect;
  return sql_;
}

NamedStatement::NamedStatement(Database& db, std::string_view name)
    : NamedStatement(db, FindStatement(name)) {}

int NamedStatement::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < def_.params.size(); ++i) {
    if (SameName(def_.params[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int NamedStatement::CheckedIndex(std::string_view name) const {
  const int index = IndexOf(name);
  if (index < 0) {
    throw std::out_of_range(std::string(def_.name) + ": parâmetro " + std::string(name) +
                            " não encontrado");
  }
  return index;
}

void NamedStatement::SetParam(std::string_view name, Variant value) {
  const int index = CheckedIndex(name);
  values_[index] = ForParam(def_, def_.params[index], std::move(value));
}

const Variant& NamedStatement::Param(std::string_view name) const {
  return values_[CheckedIndex(name)];
}

std::vector<Variant> NamedStatement::Bound() const {
  std::vector<Variant> bound;
  bound.reserve(marker_params_.size());
  for (int index : marker_params_) bound.push_back(values_[index]);
  return bound;
}

int64_t NamedStatement::Execute() {
  const std::string& sql = Sql();
  return db_.Execute(sql, Bound(), def_.timeout_seconds);
}

DataPacket NamedStatement::Packet() {
  Close();
  const std::string& sql = Sql();
  DataPacket packet =
      db_.Query(sql, Bound(), QueryOptions{def_.decimals_as_float, def_.timeout_seconds});
  result_.LoadPacket(packet);
  active_ = true;
  return packet;
}

void NamedStatement::Open() { Packet(); }

void NamedStatement::Close() {
  active_ = false;
  result_.Clear();
}

Dataset& NamedStatement::Result() {
  if (!active_) throw std::logic_error(std::string(def_.name) + ": a consulta não está aberta");
  return result_;
}

}  // namespace zlv
