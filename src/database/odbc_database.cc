#include "database/odbc_database.h"

#include <sql.h>
#include <sqlext.h>

#include <iterator>
#include <utility>

#include "database/foreign_key_message.h"
#include "database/odbc_text.h"

namespace zlv {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

// See sqlite_database.cc: the catalogue is fixed, the bound only guards against texts built
// on the fly.
constexpr size_t kMaxCachedStatements = 512;
// The longest text SQL Server takes as a plain varchar parameter; longer ones go as
// varchar(max).
constexpr size_t kMaxVarchar = 8000;

// The text of a lost connection, as the store's database client words it.
constexpr const char* kConnectionLost = "Falha de conexão";

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

OdbcHandle Allocate(SQLSMALLINT type, const OdbcHandle* parent) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc =
      SQLAllocHandle(type, parent != nullptr ? parent->get() : SQL_NULL_HANDLE, &handle);
  if (!Ok(rc)) throw DatabaseError("Não foi possível alocar um handle ODBC");
  return OdbcHandle(type, handle);
}

// A text SQLGetInfo answers about the connection; empty when the driver does not say.
std::string InfoText(const OdbcHandle& dbc, SQLUSMALLINT item) {
  SQLCHAR text[256] = {};
  SQLSMALLINT length = 0;
  if (!Ok(SQLGetInfo(dbc.get(), item, text, sizeof text, &length))) return "";
  return reinterpret_cast<const char*>(text);
}

}  // namespace

Dialect OdbcDialectOf(std::string_view dbms_name, std::string_view driver_name) {
  // Microsoft's drivers say "Microsoft SQL Server"; FreeTDS and others word it their own way.
  if (dbms_name.find("SQL Server") != std::string_view::npos) return Dialect::SqlServer;
  if (dbms_name.starts_with("SQLite")) return Dialect::Sqlite;
  throw DatabaseError("Banco de dados '" + std::string(dbms_name) + "' (driver " +
                      std::string(driver_name) +
                      ") não atendido: o sincronizador trabalha com SQL Server ou SQLite");
}

bool OdbcStateMeansConnectionLost(std::string_view state) {
  return state.size() == 5 && state.starts_with("08");
}

void ThrowOdbcError(const OdbcError& error) {
  if (OdbcStateMeansConnectionLost(error.state)) throw ConnectionLostError(error.message);
  throw DatabaseError(error.message);
}

OdbcHandle::~OdbcHandle() {
  if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

// One bound value: its storage, which must stay put until the statement has executed, and
// how it is described to the driver.
struct OdbcParam {
  std::string narrow;
  std::u16string wide;
  SQLBIGINT integer = 0;
  SQLDOUBLE real = 0;
  SQL_TIMESTAMP_STRUCT timestamp{};
  unsigned char bit = 0;
  SQLLEN indicator = SQL_NULL_DATA;
  SQLSMALLINT c_type = SQL_C_CHAR, sql_type = SQL_VARCHAR, digits = 0;
  SQLULEN size = 1;
  SQLPOINTER data = nullptr;
  SQLLEN capacity = 0;

  void SetText(const std::string& text, bool utf16) {
    if (utf16) {
      wide = Utf8ToUtf16(text);
      c_type = SQL_C_WCHAR;
      size = wide.size();
      data = wide.data();
      indicator = static_cast<SQLLEN>(wide.size() * sizeof(char16_t));
    } else {
      narrow = text;
      size = narrow.size();
      data = narrow.data();
      indicator = static_cast<SQLLEN>(narrow.size());
    }
    if (size > kMaxVarchar) sql_type = SQL_LONGVARCHAR;
    if (size == 0) size = 1;
    capacity = indicator;
  }

  // dates_as_text: the SQLite driver would store a timestamp with ".000"; that database
  // keeps date-times as "YYYY-MM-DD HH:MM:SS", which the statements compare as text.
  void Set(const Variant& value, bool utf16, bool dates_as_text) {
    switch (value.type()) {
      case Variant::Type::Empty:
      case Variant::Type::Null:
        break;
      case Variant::Type::Text:
        SetText(value.AsText(), utf16);
        break;
      case Variant::Type::Integer:
        integer = value.AsInteger();
        Describe(SQL_C_SBIGINT, SQL_BIGINT, 19, &integer);
        break;
      case Variant::Type::Float:
        real = value.AsFloat();
        Describe(SQL_C_DOUBLE, SQL_DOUBLE, 15, &real);
        break;
      case Variant::Type::DateTime:
        if (dates_as_text) {
          SetText(value.AsText(), false);
        } else {
          const CivilTime t = value.AsDateTime().Civil();
          timestamp = {static_cast<SQLSMALLINT>(t.year),
                       static_cast<SQLUSMALLINT>(t.month),
                       static_cast<SQLUSMALLINT>(t.day),
                       static_cast<SQLUSMALLINT>(t.hour),
                       static_cast<SQLUSMALLINT>(t.minute),
                       static_cast<SQLUSMALLINT>(t.second),
                       static_cast<SQLUINTEGER>(t.millisecond) * 1000000u};
          // yyyy-mm-dd hh:mm:ss.fff, the precision of SQL Server's datetime
          Describe(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, &timestamp);
          digits = 3;
        }
        break;
      case Variant::Type::Boolean:
        bit = value.AsBoolean() ? 1 : 0;
        Describe(SQL_C_BIT, SQL_BIT, 1, &bit);
        break;
      case Variant::Type::Array:
      case Variant::Type::Packet:
        throw DatabaseError("Uma lista ou um pacote não pode ser gravado numa coluna");
    }
  }

  void Describe(SQLSMALLINT c, SQLSMALLINT sql, SQLULEN column_size, SQLPOINTER value) {
    c_type = c;
    sql_type = sql;
    size = column_size;
    data = value;
    indicator = 0;
  }
};

OdbcDatabase::OdbcDatabase(const std::string& connection_string, Texts texts) {
  env_ = Allocate(SQL_HANDLE_ENV, nullptr);
  SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  dbc_ = Allocate(SQL_HANDLE_DBC, &env_);
  SQLSMALLINT out_length = 0;
  SQLRETURN rc;
  if (kOdbcAlwaysWide) {
    std::u16string in = Utf8ToUtf16(connection_string);
    SQLWCHAR out[1024];
    // SQL_NTS rather than a length: a driver manager that hands the text on narrow (unixODBC
    // under wine) would cut the converted text at the count of UTF-16 units.
    rc = SQLDriverConnectW(dbc_.get(), nullptr, reinterpret_cast<SQLWCHAR*>(in.data()), SQL_NTS,
                           out, static_cast<SQLSMALLINT>(std::size(out)), &out_length,
                           SQL_DRIVER_NOPROMPT);
  } else {
    std::string in = connection_string;
    SQLCHAR out[1024];
    rc = SQLDriverConnect(dbc_.get(), nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, out,
                          sizeof out, &out_length, SQL_DRIVER_NOPROMPT);
  }
  if (!Ok(rc)) {
    OdbcError error = FirstOdbcError(dbc_, kOdbcAlwaysWide);
    if (error.message.empty()) error = {"08001", kConnectionLost};
    ThrowOdbcError(error);
  }
  connected_ = true;
  dbms_name_ = InfoText(dbc_, SQL_DBMS_NAME);
  driver_name_ = InfoText(dbc_, SQL_DRIVER_NAME);
  try {
    dialect_ = OdbcDialectOf(dbms_name_, driver_name_);
  } catch (const DatabaseError&) {
    // The destructor does not run for an object that never finished constructing.
    SQLDisconnect(dbc_.get());
    throw;
  }
  wide_ = texts == Texts::Utf16 || (texts == Texts::ByDialect && dialect_ == Dialect::SqlServer);
}

OdbcDatabase::~OdbcDatabase() {
  cache_.clear();
  if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
  if (connected_) SQLDisconnect(dbc_.get());
}

const OdbcHandle& OdbcDatabase::Prepared(const std::string& sql, OdbcHandle* transient) {
  if (auto it = cache_.find(sql); it != cache_.end()) return it->second;
  OdbcHandle stmt = Allocate(SQL_HANDLE_STMT, &dbc_);
  SQLRETURN rc;
  if (wide_) {
    std::u16string text = Utf8ToUtf16(sql);
    rc = SQLPrepareW(stmt.get(), reinterpret_cast<SQLWCHAR*>(text.data()),
                     static_cast<SQLINTEGER>(text.size()));
  } else {
    std::string text = sql;
    rc = SQLPrepare(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                    static_cast<SQLINTEGER>(text.size()));
  }
  if (!Ok(rc)) Fail(stmt, sql, {});
  if (cache_.size() >= kMaxCachedStatements) {
    *transient = std::move(stmt);
    return *transient;
  }
  return cache_.emplace(sql, std::move(stmt)).first->second;
}

void OdbcDatabase::Run(const OdbcHandle& stmt, const std::string& sql,
                       const std::vector<Variant>& params, int timeout_seconds,
                       std::vector<OdbcParam>* bound) {
  SQLHSTMT h = stmt.get();
  SQLFreeStmt(h, SQL_CLOSE);
  SQLFreeStmt(h, SQL_RESET_PARAMS);
  // Drivers that cannot time a statement out say so with a warning; the statement still runs.
  SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_seconds)), 0);
  SQLSMALLINT markers = 0;
  if (Ok(SQLNumParams(h, &markers)) && static_cast<size_t>(markers) != params.size()) {
    throw DatabaseError("O comando espera " + std::to_string(markers) + " parâmetros e recebeu " +
                        std::to_string(params.size()));
  }
  bound->resize(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    OdbcParam& p = (*bound)[i];
    p.Set(params[i], wide_, dialect_ == Dialect::Sqlite);
    const SQLRETURN rc =
        SQLBindParameter(h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, p.c_type, p.sql_type,
                         p.size, p.digits, p.data, p.capacity, &p.indicator);
    if (!Ok(rc)) Fail(stmt, sql, params);
  }
  const SQLRETURN rc = SQLExecute(h);
  if (!Ok(rc) && rc != SQL_NO_DATA) Fail(stmt, sql, params);
}

int64_t OdbcDatabase::Execute(const std::string& sql, const std::vector<Variant>& params,
                              int timeout_seconds) {
  OdbcHandle transient;
  const OdbcHandle& stmt = Prepared(sql, &transient);
  std::vector<OdbcParam> bound;
  Run(stmt, sql, params, timeout_seconds, &bound);
  SQLLEN rows = 0;
  if (!Ok(SQLRowCount(stmt.get(), &rows)) || rows < 0) rows = 0;
  SQLFreeStmt(stmt.get(), SQL_CLOSE);
  return rows;
}

DataPacket OdbcDatabase::Query(const std::string& sql, const std::vector<Variant>& params,
                               const QueryOptions& options) {
  OdbcHandle transient;
  const OdbcHandle& stmt = Prepared(sql, &transient);
  std::vector<OdbcParam> bound;
  Run(stmt, sql, params, options.timeout_seconds, &bound);
  // Row counts of triggers or SET statements come before the rows on SQL Server.
  SQLSMALLINT columns = 0;
  while (Ok(SQLNumResultCols(stmt.get(), &columns)) && columns == 0 &&
         Ok(SQLMoreResults(stmt.get()))) {
  }
  DataPacket packet = ReadOdbcRows(stmt, wide_, options);
  SQLFreeStmt(stmt.get(), SQL_CLOSE);
  return packet;
}

void OdbcDatabase::Fail(const OdbcHandle& handle, const std::string& sql,
                        const std::vector<Variant>& params) {
  const OdbcError error = FirstOdbcError(handle, wide_);
  SQLFreeStmt(handle.get(), SQL_CLOSE);
  // A lost link is logged in the store database client's own words.
  if (OdbcStateMeansConnectionLost(error.state)) throw ConnectionLostError(kConnectionLost);
  std::string message = error.message;
  if (message.empty()) message = "Erro ODBC sem mensagem do driver";
  if (dialect_ == Dialect::Sqlite && IsSqliteForeignKeyMessage(message)) {
    if (auto described = DescribeForeignKeyFailure(*this, sql, params)) message = *described;
  }
  throw DatabaseError(message);
}

void OdbcDatabase::SetAutoCommit(bool on) {
  const SQLRETURN rc = SQLSetConnectAttr(
      dbc_.get(), SQL_ATTR_AUTOCOMMIT,
      reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
  if (!Ok(rc)) ThrowOdbcError(FirstOdbcError(dbc_, wide_));
}

void OdbcDatabase::Begin() {
  if (in_transaction_) throw DatabaseError("Já existe uma transação aberta");
  SetAutoCommit(false);
  in_transaction_ = true;
}

void OdbcDatabase::Commit() {
  if (!in_transaction_) throw DatabaseError("Nenhuma transação aberta");
  // A failed commit leaves the transaction open, for the caller to roll back.
  if (!Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT))) {
    ThrowOdbcError(FirstOdbcError(dbc_, wide_));
  }
  in_transaction_ = false;
  SetAutoCommit(true);
}

void OdbcDatabase::Rollback() {
  if (!in_transaction_) throw DatabaseError("Nenhuma transação aberta");
  // Whatever the roll-back answers, the transaction is over for this connection.
  in_transaction_ = false;
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
  const OdbcError error = Ok(rc) ? OdbcError{} : FirstOdbcError(dbc_, wide_);
  SetAutoCommit(true);
  if (!Ok(rc)) ThrowOdbcError(error);
}

}  // namespace zlv
