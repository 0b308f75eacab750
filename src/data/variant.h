// Variant: the value type that flows between the store database, the in-memory datasets and
// the central server: empty (unassigned), null, text, integer, float, date-time, boolean,
// array of variants, or a data packet.
//
// Text is UTF-8. Conversions follow the rules the business code relies on: empty and null read
// as "" / 0; a text reads as a number or a date-time only when it is one (else
// std::invalid_argument with the offending text). Value type; a packet inside is shared
// immutably, so copies are cheap and thread-safe to read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/datetime.h"

namespace zlv {

struct DataPacket;

class Variant {
 public:
  enum class Type { Empty, Null, Text, Integer, Float, DateTime, Boolean, Array, Packet };

  Variant() = default;
  Variant(std::string text);  // NOLINT(google-explicit-constructor): values convert freely
  Variant(const char* text);
  Variant(std::string_view text);
  Variant(int value);
  Variant(int64_t value);
  Variant(double value);
  Variant(DateTime value);
  Variant(bool value);
  Variant(std::vector<Variant> items);
  Variant(DataPacket packet);
  static Variant Null();

  // The storage's alternatives are declared in the order of Type. Inline: every cell read,
  // comparison and conversion asks it.
  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return type() == Type::Empty; }
  bool IsNull() const { return type() == Type::Null; }
  bool IsEmptyOrNull() const { return IsEmpty() || IsNull(); }
  bool IsText() const { return type() == Type::Text; }
  bool IsArray() const { return type() == Type::Array; }
  bool IsPacket() const { return type() == Type::Packet; }

  // Empty/null: "". Integer: decimal digits. Float: shortest text that reads back the same,
  // '.' as decimal separator. DateTime: ISO "YYYY-MM-DD HH:MM:SS" (regional texts are made by
  // RegionalSettings, never here). Boolean: "True"/"False". Array/packet: throws.
  std::string AsText() const;
  // The text itself, without a copy, for comparisons in loops; throws unless a text.
  std::string_view TextView() const;
  int64_t AsInteger() const;                    // floats are truncated; texts must be whole numbers
  double AsFloat() const;                       // texts accept '.' or ',' as decimal separator
  DateTime AsDateTime() const;                  // empty/null: zero date; texts in ISO form
  bool AsBoolean() const;                       // "S", "T", "True", "1" (any case) are true
  const std::vector<Variant>& AsArray() const;  // throws unless an array
  const DataPacket& AsPacket() const;           // throws unless a packet

  // Same type and same value (an integer never equals a float); arrays and packets compare by
  // contents. The datasets' filters compare across types by their own rules.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  using Storage =  // in the order of Type
      std::variant<std::monostate, NullTag, std::string, int64_t, double, DateTime, bool,
                   std::shared_ptr<const std::vector<Variant>>, std::shared_ptr<const DataPacket>>;
  Storage value_;
};

}  // namespace zlv
