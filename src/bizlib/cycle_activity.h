// What a cycle did, counted where it is done: the cycle's figures in the health record and the
// metrics file, summed into running totals since the process started; and when the central
// server last answered the download and the upload. Main thread.
#pragma once

#include <cstdint>
#include <optional>

#include "bizlib/clock.h"

namespace zlv {

struct CycleCounters {
  std::int64_t orders_inserted = 0;     // orders written into the store database
  std::int64_t orders_refused = 0;      // orders the store database refused (LOGSINCDLV)
  std::int64_t duplicates = 0;          // orders already in the store, handed out again
  std::int64_t cancellations = 0;       // cancellations applied
  std::int64_t tickets_written = 0;     // ticket files handed to the print spooler
  std::int64_t sales_uploaded = 0;      // order tabs sent back to the central server
  std::int64_t router_orders_sent = 0;  // orders the delivery router accepted

  CycleCounters& operator+=(const CycleCounters& other) {
    orders_inserted += other.orders_inserted;
    orders_refused += other.orders_refused;
    duplicates += other.duplicates;
    cancellations += other.cancellations;
    tickets_written += other.tickets_written;
    sales_uploaded += other.sales_uploaded;
    router_orders_sent += other.router_orders_sent;
    return *this;
  }
};

struct CycleActivity {
  CycleCounters counters;
  std::optional<Instant> download_answered;  // BaixaPedidos answered with the orders
  std::optional<Instant> upload_answered;    // AtualizaPedidos answered with the states
};

}  // namespace zlv
