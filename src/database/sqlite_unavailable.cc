// The embedded SQLite driver of a build that has no SQLite library (the Windows build: Debian
// has no SQLite for mingw). A "sqlite:" connection string is refused with a message that tells
// the store what to configure instead; every store database is then reached through ODBC.
#include "database/sqlite_database.h"

namespace zlv {

bool EmbeddedDatabaseAvailable() { return false; }

void SqliteCloser::operator()(sqlite3*) const {}
void SqliteFinalizer::operator()(sqlite3_stmt*) const {}

SqliteDatabase::SqliteDatabase(const std::filesystem::path& path) {
  throw DatabaseError("Banco de dados SQLite (" + path.string() +
                      ") não disponível nesta versão: configure o valor ConnectionString com "
                      "a conexão ODBC do banco da loja");
}

// Never reached: no object is ever constructed.
DataPacket SqliteDatabase::Query(const std::string&, const std::vector<Variant>&,
                                 const QueryOptions&) {
  return {};
}
int64_t SqliteDatabase::Execute(const std::string&, const std::vector<Variant>&, int) { return 0; }
void SqliteDatabase::Begin() {}
void SqliteDatabase::Commit() {}
void SqliteDatabase::Rollback() {}
bool SqliteDatabase::InTransaction() const { return false; }

}  // namespace zlv
