// SyncRun: one synchronisation run for one branch and store (`SincronizaDLV`) and the state the
// runs keep for the life of the process: the downloaded datasets (also the ticket writers' and
// the scheduled release's sale, order-tab and consumer datasets), the upload phase, the
// statements it reuses and the last result of a remote call (for failure messages).
//
// A run, in order: housekeeping rows; the tickets still owed for orders an earlier run
// committed but did not print (the ticket journal, store/ticket_journal.h); the download of the
// store's new orders from the central server, written by the consumer, cancellation and order
// writers; their tickets when the cash register prints delivery orders; the confirmation of what
// was written to the server; the router dispatch; and the upload of the store's order state. It
// switches the synchronisation timer off while it works and on again however it ends, and keeps the
// watchdog from a periodic restart while orders are being written and confirmed.
//
// Failures are contained as the log shows them: the download block, each upload batch and the
// history upload have their own handlers; anything else ends the run with its log line and a
// rollback. Main thread only; not re-entrant.
#pragma once

#include <functional>
#include <string>

#include "data/data_packet.h"
#include "data/variant.h"
#include "database/named_statement.h"
#include "print/ticket_sources.h"
#include "store/download_sets.h"
#include "store/services.h"
#include "store/ticket_journal.h"
#include "sync/central_client.h"
#include "sync/sync_timer.h"
#include "sync/upload.h"

namespace zlv {

// The orders the runs downloaded, and those of them the store could not write (left at the
// server for a later run), since the count was last reset.
struct OrderTally {
  int downloaded = 0;
  int refused = 0;
};

class SyncRun {
 public:
  SyncRun(Services& services, CentralClient& central, SyncTimer& timer,
          std::function<void()> trim_memory);
  SyncRun(const SyncRun&) = delete;
  SyncRun& operator=(const SyncRun&) = delete;

  void SincronizaDLV(const std::string& cdfilial, const std::string& cdloja);
  // The tickets of the orders an earlier run committed but did not print; the first step of
  // every run, and what a tick does instead of the run while the server cannot be reached.
  void PrintOwedTickets(const std::string& cdfilial, const std::string& cdloja);

  DownloadSets& sets() { return sets_; }
  OrderTally& tally() { return tally_; }
  // The form's sale, order-tab and consumer datasets, as the ticket writers read them.
  TicketSources ticket_sources() {
    return {sets_.cdsVendaRest, sets_.cdsComandaVen, sets_.cdsCons};
  }
  // The store's router settings as the last run reloaded them (cdsRoteirizador).
  const DataPacket& cdsRoteirizador() const { return cdsRoteirizador_; }

 private:
  void Body(const std::string& cdfilial, const std::string& cdloja);
  void Housekeeping(const std::string& cdfilial, const std::string& cdloja);
  void Download(const std::string& cdfilial, const std::string& cdloja);
  void WriteDownload();
  void LoadDownload(const Variant& packets);
  void PrintOrders(bool tickets_on);
  void PrintOrder(TicketSources& sources, bool tickets_on);
  void PrintCancellations(Dataset& cancellations);
  void ConfirmToServer();
  void DispatchToRouter();
  bool TicketsOn();
  bool NumbersReady();
  void LogMissingTable(const char* table, const std::string& consequence, bool& logged);
  void CloseDownload();
  void LogRetorno();
  void Log(const std::string& message) { s_.log.GravaLog(message); }

  Services& s_;
  CentralClient& central_;
  SyncTimer& timer_;
  std::function<void()> trim_memory_;

  DownloadSets sets_;
  OrderStateUpload upload_;
  TicketJournal journal_;
  NamedStatement acmInsZlvSincExecuta_, acmDelLogSincDlv_, adqImpPed_;
  DataPacket cdsRoteirizador_;
  OrderTally tally_;
  Variant retorno_;  // the last remote result, for the failure messages
  // A missing own table is logged once per process: the line repeated every 30 s would bury
  // the rest of the log, and the technician reads it at the start.
  bool counters_present_ = false;
  bool counters_missing_logged_ = false;
  bool journal_missing_logged_ = false;
};

}  // namespace zlv
