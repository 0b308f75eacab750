// PrintStore: a store installation in a temporary folder for the ticket writers' tests: the
// embedded database made from db/schema.sqlite.sql, db/demo-seed.sql and the test orders of
// tests/print/orders.sql, the ticket folder, the log, a fake clock at 06/12/2026 21:05:09 and
// the process-wide values of register 001 of store 001. It also fills the form's datasets as
// a download run or a cancellation download would.
//
// Golden files: ExpectTicketsMatchGolden compares every ticket file with the files kept under
// tests/print/golden/<case>/; ZLV_UPDATE_GOLDEN=1 rewrites them instead (review the diff).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "data/dataset.h"
#include "log/activity_log.h"
#include "print/ticket_sources.h"
#include "store/services.h"
#include "support/temp_dir.h"

namespace zlv::test {

class PrintStore {
 public:
  PrintStore();

  Services& services() { return *services_; }
  Database& db() { return *db_; }
  FakeClock& clock() { return clock_; }
  Globals& globals() { return globals_; }
  const std::filesystem::path& exe() const { return exe_; }

  // Runs SQL text holding any number of statements on the database file.
  void Sql(const std::string& sql);

  // The form's datasets as a download run fills them for the given central sale numbers
  // (sales, their order tabs and every consumer), current row on the first sale.
  void Download(const std::vector<std::string>& central_sales);
  // cdsPedidosCanc as the central server sends cancellations of the given central numbers.
  void DownloadCancellations(const std::vector<std::string>& central_sales);
  TicketSources sources() { return {cdsVendaRest, cdsComandaVen, cdsCons}; }

  // Every file of the ticket folder: name -> bytes.
  std::map<std::string, std::string> Tickets() const;
  std::filesystem::path TicketFolder() const;
  std::string LogText() const;

  Dataset cdsVendaRest, cdsComandaVen, cdsCons, cdsPedidosCanc;

 private:
  TempDir dir_{"zlv_print"};
  std::filesystem::path exe_;
  FakeClock clock_;
  Globals globals_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<ActivityLog> log_;
  std::unique_ptr<Services> services_;
};

// Compares the ticket files with tests/print/golden/<golden_case>/ byte for byte (also which
// files exist).
void ExpectTicketsMatchGolden(const PrintStore& store, const std::string& golden_case);

// The lines of a ticket file (CR LF removed), for tests that look at a few lines.
std::vector<std::string> TicketLines(const std::string& bytes);

}  // namespace zlv::test
