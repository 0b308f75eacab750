#include "database/foreign_key_message.h"

#include <cctype>
#include <functional>
#include <map>

#include "database/driver_common.h"

namespace zlv {

namespace {

// The names the store's SQL Server puts in the message: its database and the schema owning
// the tables. The diagnosis reads the table after "MORVANE.".
constexpr const char* kServerDatabase = "ZLV";
constexpr const char* kServerSchema = "MORVANE";

struct Token {
  enum Kind { Word, Name, String, Marker, Punct } kind;
  std::string text;  // a Name or String without its quotes
};

// Splits a statement into words, quoted names, literals, '?' markers and punctuation;
// blanks and comments are dropped.
std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto quoted = [&](char close, Token::Kind kind) {
    std::string text;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] == close) {
        if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
          text += close;
          ++i;
          continue;
        }
        ++i;
        break;
      }
      text += sql[i];
    }
    tokens.push_back({kind, text});
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) i = sql.size();
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      i = i == std::string_view::npos ? sql.size() : i + 2;
    } else if (c == '\'') {
      quoted('\'', Token::String);
    } else if (c == '"' || c == '`') {
      quoted(c, Token::Name);
    } else if (c == '[') {
      quoted(']', Token::Name);
    } else if (c == '?') {
      tokens.push_back({Token::Marker, "?"});
      ++i;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c < 0) {
      size_t end = i;
      while (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) ||
                                  sql[end] == '_' || sql[end] == '.' || sql[end] < 0)) {
        ++end;
      }
      tokens.push_back({Token::Word, std::string(sql.substr(i, end - i))});
      i = end;
    } else {
      tokens.push_back({Token::Punct, std::string(1, c)});
      ++i;
    }
  }
  return tokens;
}

bool IsWord(const Token& t, const char* word) {
  return t.kind == Token::Word && SameName(t.text, word);
}
bool IsPunct(const Token& t, char c) { return t.kind == Token::Punct && t.text[0] == c; }

// A table or column name without its schema ("main.T", "dbo.T").
std::string BareName(const Token& t) {
  if (t.kind == Token::Name) return t.text;
  const size_t dot = t.text.rfind('.');
  return dot == std::string::npos ? t.text : t.text.substr(dot + 1);
}

// The value an expression gives the column, when it can be told without running it.
struct Known {
  bool known = false;
  Variant value;
};

// One comma-separated item: consumes the item's markers from the parameters.
Known ItemValue(const std::vector<Token>& item, const std::vector<Variant>& params, size_t* next) {
  Known result;
  if (item.size() == 1) {
    const Token& t = item[0];
    if (t.kind == Token::Marker && *next < params.size()) {
      result = {true, params[*next].IsEmpty() ? Variant::Null() : params[*next]};
    } else if (t.kind == Token::String) {
      result = {true, Variant(t.text)};
    } else if (IsWord(t, "NULL")) {
      result = {true, Variant::Null()};
    }
  }
  for (const Token& t : item) {
    if (t.kind == Token::Marker) ++*next;
  }
  return result;
}

// Items of a list up to its closing parenthesis (or, with no parenthesis, up to one of the
// stop words), split at the commas of its own level. *pos ends after the list.
std::vector<std::vector<Token>> SplitList(const std::vector<Token>& tokens, size_t* pos,
                                          bool parenthesised) {
  std::vector<std::vector<Token>> items(1);
  int depth = 0;
  for (; *pos < tokens.size(); ++*pos) {
    const Token& t = tokens[*pos];
    if (IsPunct(t, '(')) {
      ++depth;
    } else if (IsPunct(t, ')')) {
      if (depth-- == 0 && parenthesised) {
        ++*pos;
        break;
      }
    } else if (depth == 0 && IsPunct(t, ',')) {
      items.emplace_back();
      continue;
    } else if (depth == 0 && !parenthesised &&
               (IsWord(t, "WHERE") || IsWord(t, "FROM") || IsPunct(t, ';'))) {
      break;
    }
    items.back().push_back(t);
  }
  return items;
}

struct Statement {
  std::string verb;                      // INSERT or UPDATE
  std::string table;                     // the child table
  std::map<std::string, Known> columns;  // by upper-case name
};

std::optional<Statement> ParseWrite(std::string_view sql, const std::vector<Variant>& params) {
  const std::vector<Token> tokens = Tokenize(sql);
  size_t pos = 0;
  auto at = [&](size_t i) -> const Token* { return i < tokens.size() ? &tokens[i] : nullptr; };
  if (at(0) == nullptr) return std::nullopt;
  Statement st;
  st.verb = AsciiUpper(tokens[0].text);
  if (st.verb != "INSERT" && st.verb != "UPDATE") return std::nullopt;
  pos = 1;
  if (at(pos) && IsWord(*at(pos), "OR")) pos += 2;
  if (st.verb == "INSERT") {
    if (!at(pos) || !IsWord(*at(pos), "INTO")) return std::nullopt;
    ++pos;
  }
  if (!at(pos) || (at(pos)->kind != Token::Word && at(pos)->kind != Token::Name)) {
    return std::nullopt;
  }
  st.table = BareName(tokens[pos++]);
  size_t next = 0;
  if (st.verb == "INSERT") {
    if (!at(pos) || !IsPunct(*at(pos), '(')) return std::nullopt;
    ++pos;
    const auto names = SplitList(tokens, &pos, true);
    if (!at(pos) || !IsWord(*at(pos), "VALUES") || !at(pos + 1) || !IsPunct(*at(pos + 1), '(')) {
      return std::nullopt;
    }
    pos += 2;
    const auto values = SplitList(tokens, &pos, true);
    if (names.size() != values.size()) return std::nullopt;
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i].size() != 1) return std::nullopt;
      st.columns[AsciiUpper(BareName(names[i][0]))] = ItemValue(values[i], params, &next);
    }
  } else {
    if (!at(pos) || !IsWord(*at(pos), "SET")) return std::nullopt;
    ++pos;
    for (auto& assignment : SplitList(tokens, &pos, false)) {
      if (assignment.size() < 3 || !IsPunct(assignment[1], '=')) return std::nullopt;
      const std::vector<Token> expr(assignment.begin() + 2, assignment.end());
      st.columns[AsciiUpper(BareName(assignment[0]))] = ItemValue(expr, params, &next);
    }
  }
  return st;
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

struct ForeignKey {
  std::string parent;
  std::vector<std::string> from, to;
};

std::vector<ForeignKey> ForeignKeysOf(Database& db, const std::string& table) {
  const DataPacket list = db.Query("PRAGMA foreign_key_list(" + Quoted(table) + ")", {});
  const int id = list.FieldIndex("id"), parent = list.FieldIndex("table"),
            from = list.FieldIndex("from"), to = list.FieldIndex("to");
  // Rows come by key, then by column; SQLite numbers the keys from the last declared.
  std::map<int64_t, ForeignKey, std::greater<>> keys;
  for (const auto& row : list.rows) {
    ForeignKey& key = keys[row[id].AsInteger()];
    key.parent = row[parent].AsText();
    key.from.push_back(row[from].AsText());
    key.to.push_back(row[to].AsText());
  }
  std::vector<ForeignKey> result;
  for (auto& [unused, key] : keys) {
    if (key.to.front().empty()) {  // the key refers to the parent's primary key
      const DataPacket info = db.Query("PRAGMA table_info(" + Quoted(key.parent) + ")", {});
      std::map<int64_t, std::string> pk;
      for (const auto& row : info.rows) {
        const int64_t order = row[info.FieldIndex("pk")].AsInteger();
        if (order > 0) pk[order] = row[info.FieldIndex("name")].AsText();
      }
      if (pk.size() != key.from.size()) continue;
      key.to.clear();
      for (auto& [order, name] : pk) key.to.push_back(name);
    }
    result.push_back(std::move(key));
  }
  return result;
}

// The referencing column at which the parent stops matching: the first n such that no parent
// row matches the first n columns of the key. Empty when the parent row exists.
std::optional<std::string> MissingColumn(Database& db, const ForeignKey& key,
                                         const std::vector<Variant>& values) {
  std::string where;
  std::vector<Variant> bound;
  for (size_t n = 0; n < key.from.size(); ++n) {
    where += (n == 0 ? " WHERE " : " AND ") + Quoted(key.to[n]) + " = ?";
    bound.push_back(values[n]);
    const DataPacket found =
        db.Query("SELECT 1 FROM " + Quoted(key.parent) + where + " LIMIT 1", bound);
    if (found.rows.empty()) return key.from[n];
  }
  return std::nullopt;
}

}  // namespace

bool IsSqliteForeignKeyMessage(std::string_view message) {
  return message.find("FOREIGN KEY constraint failed") != std::string_view::npos;
}

std::optional<std::string> DescribeForeignKeyFailure(Database& db, std::string_view sql,
                                                     const std::vector<Variant>& params) {
  const std::optional<Statement> st = ParseWrite(sql, params);
  if (!st) return std::nullopt;
  for (const ForeignKey& key : ForeignKeysOf(db, st->table)) {
    std::vector<Variant> values;
    bool checkable = true;
    for (const std::string& column : key.from) {
      auto it = st->columns.find(AsciiUpper(column));
      // A column an INSERT leaves out takes its default (NULL); one an UPDATE leaves alone
      // keeps a value unknown here.
      Known known =
          it != st->columns.end() ? it->second : Known{st->verb == "INSERT", Variant::Null()};
      // A key with a NULL column is not enforced.
      if (!known.known || known.value.IsNull()) {
        checkable = false;
        break;
      }
      values.push_back(known.value);
    }
    if (!checkable) continue;
    if (auto column = MissingColumn(db, key, values)) {
      const std::string child = AsciiUpper(st->table), parent = AsciiUpper(key.parent);
      return "The " + st->verb + " statement conflicted with the FOREIGN KEY constraint \"FK_" +
             child + "_" + parent + "\". The conflict occurred in database \"" + kServerDatabase +
             "\", tabela \"" + kServerSchema + "." + parent + "\", column '" + AsciiUpper(*column) +
             "'";
    }
  }
  return std::nullopt;
}

}  // namespace zlv
