#include "central/pg_hub_schema.h"

#include <string>
#include <vector>

#include "database/database.h"

namespace zlv {

namespace {

// Any number unique to this purpose among the advisory locks taken on the database.
constexpr const char* kMigrationLock = "7318524601";

// Step N is kSteps[N - 1]. Times are ISO texts, as the SQLite store keeps them, so both sort
// and compare alike; texts sort by byte (COLLATE "C") wherever an order is handed out.
const std::vector<std::string> kSteps = {
    R"sql(
CREATE TABLE CENTRAL_COUNTER (
  NMCOUNTER TEXT PRIMARY KEY, NRVALUE BIGINT NOT NULL);
CREATE TABLE CENTRAL_CONSUMER (
  CDCLIENTE TEXT NOT NULL, CDCONSUMIDOR TEXT NOT NULL, DSVALUES TEXT NOT NULL,
  PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR));
CREATE TABLE CENTRAL_ORDER (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  CDCLIENTE TEXT, CDCONSUMIDOR TEXT, CDVENDEDOR TEXT, IDAGENDADO TEXT NOT NULL,
  STATE TEXT NOT NULL, DTCREATED TEXT NOT NULL, DTCONFIRMED TEXT, NRDOWNLOADS INTEGER NOT NULL,
  DSPACKETS TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, NRVENDAREST));
CREATE INDEX CENTRAL_ORDER_QUEUE
  ON CENTRAL_ORDER (CDFILIAL, CDLOJA, STATE, DTCREATED, NRVENDAREST);
CREATE TABLE CENTRAL_CANCEL (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  STATE TEXT NOT NULL, DTCREATED TEXT NOT NULL, DTCONFIRMED TEXT,
  PRIMARY KEY (CDFILIAL, NRVENDAREST));
CREATE TABLE CENTRAL_UPLOAD (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  NRVENDARESTAUX TEXT, IDSTCOMANDA TEXT, SGSEXOCON TEXT, DTUPLOAD TEXT NOT NULL,
  NRUPLOADS INTEGER NOT NULL,
  PRIMARY KEY (CDFILIAL, CDLOJA, NRVENDAREST));
CREATE INDEX CENTRAL_UPLOAD_AUX ON CENTRAL_UPLOAD (CDFILIAL, NRVENDARESTAUX);
CREATE TABLE CENTRAL_HISTORY (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, NRVENDAREST TEXT NOT NULL,
  NRCOMANDA TEXT NOT NULL, NRSEQHISTPED TEXT NOT NULL, DSROW TEXT NOT NULL,
  DTRECEIVED TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, CDLOJA, NRVENDAREST, NRCOMANDA, NRSEQHISTPED));
CREATE TABLE CENTRAL_PRODUCT_PROBLEM (
  CDFILIAL TEXT NOT NULL, CDPRODUTO TEXT NOT NULL, CDARVPROD TEXT NOT NULL,
  DSMSGIMPOSTO TEXT NOT NULL,
  PRIMARY KEY (CDFILIAL, CDPRODUTO, CDARVPROD));
CREATE TABLE CENTRAL_MESSAGE (
  NRMESSAGE BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, DSMETODO TEXT NOT NULL,
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, DSMSG TEXT NOT NULL, IDERRO TEXT NOT NULL);
)sql",
    R"sql(
CREATE TABLE CENTRAL_STORE_CALL (
  CDFILIAL TEXT NOT NULL, CDLOJA TEXT NOT NULL, DSMETODO TEXT NOT NULL,
  DTLASTCALL TIMESTAMPTZ NOT NULL, DTLASTSUCCESS TIMESTAMPTZ, DTLASTFAILURE TIMESTAMPTZ,
  DSLASTFAILURE TEXT,
  PRIMARY KEY (CDFILIAL, CDLOJA, DSMETODO));
)sql",
};

}  // namespace

int HubSchemaVersion() { return static_cast<int>(kSteps.size()); }

void MigrateHubSchema(PgConnection& connection) {
  for (int step = 1; step <= HubSchemaVersion(); ++step) {
    connection.Exec("BEGIN");
    try {
      connection.Exec(std::string("SELECT pg_advisory_xact_lock(") + kMigrationLock + ")");
      connection.Exec(
          "CREATE TABLE IF NOT EXISTS HUB_SCHEMA_VERSION (NRVERSION INTEGER PRIMARY KEY, "
          "DTAPPLIED TIMESTAMPTZ NOT NULL DEFAULT now())");
      const int current = static_cast<int>(
          connection.Exec("SELECT COALESCE(MAX(NRVERSION), 0) FROM HUB_SCHEMA_VERSION")
              .Integer(0, 0));
      if (current > HubSchemaVersion()) {
        throw DatabaseError("the hub's database is at schema version " + std::to_string(current) +
                            ", newer than this program's " + std::to_string(HubSchemaVersion()));
      }
      if (current < step) {
        connection.Exec(kSteps[static_cast<std::size_t>(step - 1)]);
        connection.Exec("INSERT INTO HUB_SCHEMA_VERSION (NRVERSION) VALUES ($1)",
                        {std::to_string(step)});
      }
      connection.Exec("COMMIT");
    } catch (...) {
      try {
        connection.Exec("ROLLBACK");
      } catch (...) {
        // The connection is gone: the server rolled the step back itself.
      }
      throw;
    }
  }
}

}  // namespace zlv
