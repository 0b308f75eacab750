// Reading an ODBC result into a data packet, and the driver's error text. Field types come
// from SQLDescribeCol.
#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

#include "database/driver_common.h"
#include "database/odbc_database.h"
#include "database/odbc_text.h"

namespace zlv {

namespace {

// Texts are read in pieces of this many bytes; longer ones take several SQLGetData calls.
constexpr SQLLEN kChunkBytes = 4096;
// A column size this large means "no limit" (varchar(max), text), which a field keeps as 0.
constexpr SQLULEN kUnboundedSize = 1u << 30;

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Drops the "[vendor][driver][source]" prefixes of a driver's message.
std::string WithoutPrefixes(std::string text) {
  while (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) break;
    text.erase(0, close + 1);
  }
  return text;
}

struct Column {
  FieldType type = FieldType::String;
  bool decimal = false;
};

Column ColumnOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return {FieldType::Integer, false};
    case SQL_BIT:
      return {FieldType::Boolean, false};
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return {FieldType::Float, false};
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      return {FieldType::Float, true};
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIMESTAMP:
      return {FieldType::DateTime, false};
    default:
      return {FieldType::String, false};
  }
}

// The text of a column of the current row; false when it is NULL.
bool GetText(SQLHSTMT h, SQLUSMALLINT column, bool wide, std::string* out) {
  out->clear();
  std::u16string wide_text;
  char buffer[kChunkBytes];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(h, column, wide ? SQL_C_WCHAR : SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!Ok(rc)) throw std::runtime_error("SQLGetData");
    if (indicator == SQL_NULL_DATA) return false;
    const size_t terminator = wide ? sizeof(char16_t) : 1;
    // The whole rest fitted when the driver says how much there was and it is no more than the
    // buffer minus its terminator; otherwise the buffer is full and more follows.
    const bool last = rc == SQL_SUCCESS;
    const size_t bytes = last ? static_cast<size_t>(indicator) : sizeof buffer - terminator;
    if (wide) {
      wide_text.append(reinterpret_cast<const char16_t*>(buffer), bytes / sizeof(char16_t));
    } else {
      out->append(buffer, bytes);
    }
    if (last) break;
  }
  if (wide) *out = Utf16ToUtf8(wide_text);
  return true;
}

Variant GetValue(SQLHSTMT h, SQLUSMALLINT column, const Column& kind, bool wide,
                 bool decimals_as_float) {
  SQLLEN indicator = 0;
  switch (kind.type) {
    case FieldType::Integer: {
      SQLBIGINT value = 0;
      if (!Ok(SQLGetData(h, column, SQL_C_SBIGINT, &value, 0, &indicator))) break;
      return indicator == SQL_NULL_DATA ? Variant::Null() : Variant(static_cast<int64_t>(value));
    }
    case FieldType::Float: {
      SQLDOUBLE value = 0;
      if (!Ok(SQLGetData(h, column, SQL_C_DOUBLE, &value, 0, &indicator))) break;
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      return Variant(kind.decimal && !decimals_as_float ? FixedPointDecimal(value) : value);
    }
    case FieldType::Boolean: {
      unsigned char value = 0;
      if (!Ok(SQLGetData(h, column, SQL_C_BIT, &value, 0, &indicator))) break;
      return indicator == SQL_NULL_DATA ? Variant::Null() : Variant(value != 0);
    }
    case FieldType::DateTime: {
      SQL_TIMESTAMP_STRUCT t{};
      if (!Ok(SQLGetData(h, column, SQL_C_TYPE_TIMESTAMP, &t, 0, &indicator))) break;
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      if (t.year == 0) {  // a time of day without a date
        return Variant(DateTime::FromCivil(1899, 12, 30, t.hour, t.minute, t.second,
                                           static_cast<int>(t.fraction / 1000000)));
      }
      return Variant(DateTime::FromCivil(t.year, t.month, t.day, t.hour, t.minute, t.second,
                                         static_cast<int>(t.fraction / 1000000)));
    }
    default: {
      std::string text;
      return GetText(h, column, wide, &text) ? Variant(std::move(text)) : Variant::Null();
    }
  }
  throw std::runtime_error("SQLGetData");
}

}  // namespace

OdbcError FirstOdbcError(const OdbcHandle& handle, bool wide) {
  for (SQLSMALLINT record = 1;; ++record) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::string state, message;
    SQLRETURN rc;
    if (wide || kOdbcAlwaysWide) {
      SQLWCHAR w_state[6] = {};
      SQLWCHAR w_message[2048] = {};
      rc = SQLGetDiagRecW(handle.type(), handle.get(), record, w_state, &native, w_message,
                          static_cast<SQLSMALLINT>(std::size(w_message)), &length);
      state = Utf16ToUtf8(reinterpret_cast<const char16_t*>(w_state));
      message = Utf16ToUtf8(reinterpret_cast<const char16_t*>(w_message));
    } else {
      SQLCHAR n_state[6] = {};
      SQLCHAR n_message[2048] = {};
      rc = SQLGetDiagRec(handle.type(), handle.get(), record, n_state, &native, n_message,
                         sizeof n_message, &length);
      state = reinterpret_cast<const char*>(n_state);
      message = reinterpret_cast<const char*>(n_message);
    }
    if (!Ok(rc)) return {};
    // Class 01 records are warnings ("changed language setting") that precede the error.
    if (!state.starts_with("01")) return {state, WithoutPrefixes(message)};
  }
}

std::string OdbcErrorMessage(const OdbcHandle& handle, bool wide) {
  return FirstOdbcError(handle, wide).message;
}

DataPacket ReadOdbcRows(const OdbcHandle& stmt, bool wide, const QueryOptions& options) {
  SQLHSTMT h = stmt.get();
  DataPacket packet;
  SQLSMALLINT count = 0;
  if (!Ok(SQLNumResultCols(h, &count))) ThrowOdbcError(FirstOdbcError(stmt, wide));
  if (count == 0) return packet;  // a statement that returns no rows (PRAGMA x = y, SET)
  std::vector<Column> columns(count);
  for (SQLUSMALLINT c = 1; c <= count; ++c) {
    SQLSMALLINT name_length = 0, sql_type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    std::string name;
    SQLRETURN rc;
    if (wide) {
      SQLWCHAR buffer[256] = {};
      rc = SQLDescribeColW(h, c, buffer, static_cast<SQLSMALLINT>(std::size(buffer)), &name_length,
                           &sql_type, &size, &digits, &nullable);
      name = Utf16ToUtf8(reinterpret_cast<const char16_t*>(buffer));
    } else {
      SQLCHAR buffer[256] = {};
      rc = SQLDescribeCol(h, c, buffer, sizeof buffer, &name_length, &sql_type, &size, &digits,
                          &nullable);
      name = reinterpret_cast<const char*>(buffer);
    }
    if (!Ok(rc)) ThrowOdbcError(FirstOdbcError(stmt, wide));
    columns[c - 1] = ColumnOf(sql_type);
    const bool sized = columns[c - 1].type == FieldType::String && size < kUnboundedSize;
    packet.fields.push_back({name, columns[c - 1].type, sized ? static_cast<int>(size) : 0});
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(h);
    if (rc == SQL_NO_DATA) break;
    if (!Ok(rc)) ThrowOdbcError(FirstOdbcError(stmt, wide));
    std::vector<Variant> row;
    row.reserve(count);
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
      try {
        row.push_back(GetValue(h, c, columns[c - 1], wide, options.decimals_as_float));
      } catch (const std::exception& e) {
        const std::string reason = OdbcErrorMessage(stmt, wide);
        throw DatabaseError("Coluna " + packet.fields[c - 1].name + ": " +
                            (reason.empty() ? e.what() : reason));
      }
    }
    packet.rows.push_back(std::move(row));
  }
  MakeFieldNamesUnique(&packet.fields);
  return packet;
}

}  // namespace zlv
