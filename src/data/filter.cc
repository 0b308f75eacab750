#include "data/filter.h"

#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "data/text_fold.h"
#include "data/value_compare.h"

namespace zlv {

std::string QuoteFilterValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out += '\'';
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

namespace {

// Filter texts are written by the program, never by hand, so a nesting this deep is a fault;
// the limit keeps the recursive parser's stack use small whatever the text.
constexpr int kMaxDepth = 32;

using PositionOf = std::function<std::size_t(std::string_view)>;

class AndExpr : public FilterExpr {
 public:
  explicit AndExpr(std::vector<std::unique_ptr<FilterExpr>> terms) : terms_(std::move(terms)) {}
  void Bind(const PositionOf& position_of) override {
    for (const auto& t : terms_) t->Bind(position_of);
  }
  bool Matches(const std::vector<Variant>& cells) const override {
    for (const auto& t : terms_) {
      if (!t->Matches(cells)) return false;
    }
    return true;
  }

 private:
  std::vector<std::unique_ptr<FilterExpr>> terms_;
};

// FIELD = x, FIELD <> x and FIELD IN (x, y...): "<>" is the negation of "=", so a null cell,
// which equals no literal, passes "<>".
//
// A text cell equals a quoted literal exactly when their bytes are equal, so the quoted
// literals of a long IN list are looked up in a set: the upload filters every row of its
// datasets on a list of up to a hundred sales, batch after batch.
class CompareExpr : public FilterExpr {
 public:
  CompareExpr(std::string field, bool negate, std::vector<Variant> values)
      : field_(std::move(field)), negate_(negate), values_(std::move(values)) {
    if (values_.size() < kSetFrom) return;
    for (const Variant& v : values_) {
      if (v.IsText()) {
        texts_.insert(v.TextView());
      } else {
        others_.push_back(v);
      }
    }
  }
  CompareExpr(const CompareExpr&) = delete;  // texts_ points into values_
  CompareExpr& operator=(const CompareExpr&) = delete;

  void Bind(const PositionOf& position_of) override { position_ = position_of(field_); }
  bool Matches(const std::vector<Variant>& cells) const override {
    const Variant& cell = cells.at(position_);
    if (!texts_.empty() && cell.IsText()) {
      return (texts_.contains(cell.TextView()) || AnyMatches(others_, cell)) != negate_;
    }
    return AnyMatches(values_, cell) != negate_;
  }

 private:
  // Below this many literals a plain walk is as quick as the set.
  static constexpr std::size_t kSetFrom = 8;

  static bool AnyMatches(const std::vector<Variant>& values, const Variant& cell) {
    for (const Variant& v : values) {
      if (ValuesMatch(cell, v)) return true;
    }
    return false;
  }

  std::string field_;
  std::size_t position_ = 0;
  bool negate_;
  std::vector<Variant> values_;
  std::unordered_set<std::string_view> texts_;  // views of the texts held by values_
  std::vector<Variant> others_;                 // the literals that are not texts
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::unique_ptr<FilterExpr> Parse() {
    auto expr = Expr(0);
    SkipBlanks();
    if (pos_ < text_.size()) Fail("unexpected text");
    return expr;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::invalid_argument("filter \"" + std::string(text_) + "\": " + what + " at position " +
                                std::to_string(pos_ + 1));
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\n')) {
      ++pos_;
    }
  }

  bool Peek(char c) {
    SkipBlanks();
    return pos_ < text_.size() && text_[pos_] == c;
  }

  void Expect(char c) {
    if (!Peek(c)) Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  static bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  }

  // A name or keyword; empty when the next character does not start one.
  std::string_view Word() {
    SkipBlanks();
    const size_t start = pos_;
    if (pos_ < text_.size() && !(text_[pos_] >= '0' && text_[pos_] <= '9')) {
      while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  bool Keyword(std::string_view keyword) {
    const size_t start = pos_;
    if (EqualsNoCase(Word(), keyword)) return true;
    pos_ = start;
    return false;
  }

  std::unique_ptr<FilterExpr> Expr(int depth) {
    if (depth > kMaxDepth) Fail("parentheses nested too deep");
    std::vector<std::unique_ptr<FilterExpr>> terms;
    terms.push_back(Term(depth));
    while (Keyword("AND")) terms.push_back(Term(depth));
    if (terms.size() == 1) return std::move(terms.front());
    return std::make_unique<AndExpr>(std::move(terms));
  }

  std::unique_ptr<FilterExpr> Term(int depth) {
    if (Peek('(')) {
      ++pos_;
      auto inner = Expr(depth + 1);
      Expect(')');
      return inner;
    }
    const size_t name_pos = pos_;
    const std::string field(Word());
    if (field.empty() || EqualsNoCase(field, "AND") || EqualsNoCase(field, "IN")) {
      pos_ = name_pos;
      Fail("expected a field name");
    }
    SkipBlanks();
    if (text_.substr(pos_, 2) == "<>") {
      pos_ += 2;
      return std::make_unique<CompareExpr>(field, true, std::vector<Variant>{Literal()});
    }
    if (Peek('=')) {
      ++pos_;
      return std::make_unique<CompareExpr>(field, false, std::vector<Variant>{Literal()});
    }
    if (Keyword("IN")) {
      Expect('(');
      std::vector<Variant> values{Literal()};
      while (Peek(',')) {
        ++pos_;
        values.push_back(Literal());
      }
      Expect(')');
      return std::make_unique<CompareExpr>(field, false, std::move(values));
    }
    Fail("expected '=', '<>' or IN");
  }

  Variant Literal() {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '\'') return Quoted();
    const size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    const size_t digits = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    bool fraction = false;
    if (pos_ > digits && pos_ + 1 < text_.size() && text_[pos_] == '.' && text_[pos_ + 1] >= '0' &&
        text_[pos_ + 1] <= '9') {
      fraction = true;
      for (++pos_; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9';) ++pos_;
    }
    if (pos_ == digits || (pos_ < text_.size() && IsWordChar(text_[pos_]))) {
      pos_ = start;
      Fail("expected a quoted text or a number");
    }
    const Variant number(std::string(text_.substr(start, pos_ - start)));
    return fraction ? Variant(number.AsFloat()) : Variant(IntegerLiteral(number, start));
  }

  int64_t IntegerLiteral(const Variant& number, size_t start) {
    try {
      return number.AsInteger();
    } catch (const std::invalid_argument&) {
      pos_ = start;
      Fail("number out of range");
    }
  }

  Variant Quoted() {
    const size_t start = pos_++;
    std::string value;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c != '\'') {
        value += c;
      } else if (pos_ < text_.size() && text_[pos_] == '\'') {
        value += '\'';
        ++pos_;
      } else {
        return Variant(std::move(value));
      }
    }
    pos_ = start;
    Fail("unterminated quoted text");
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<FilterExpr> FilterExpr::Parse(std::string_view text) {
  return Parser(text).Parse();
}

}  // namespace zlv
