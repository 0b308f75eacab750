// CallLog: what the stores' calls came to, kept in memory between the writes that record them
// for the presence view. A store cycles every 30 s with several calls; writing each would cost
// the database a row per call for a view that needs a store's state to within seconds. So the
// calls are noted here and written together every few seconds: each store at most once per
// write, each of its methods as one row.
//
// Nothing a store relies on lives here: a process that dies loses at most the calls since its
// last write, which the store's next call brings back.
//
// One thread at a time (the server's event loop).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "central/hub_store.h"

namespace zlv {

class CallLog {
 public:
  using Clock = std::chrono::steady_clock;

  // At most this many store and method pairs wait for a write: calls naming made-up stores
  // cannot grow the process without bound.
  static constexpr std::size_t kMaxWaiting = 100'000;

  // The call of `method` by the store ended now, failing with `failure` when it is set;
  // `without_token`: it came without the installation's token.
  void Note(const std::string& branch, const std::string& store, const std::string& method,
            const std::optional<std::string>& failure, Clock::time_point now,
            bool without_token = false);

  // Records every waiting call in one transaction and forgets them; when that fails they wait
  // for the next write and the error is thrown.
  void Write(HubStore& hub, Clock::time_point now);

  bool empty() const { return waiting_.empty(); }

  // A failure of the hub's own (its database, its code), not the caller's, met since start.
  void NoteError() { ++errors_; }

  // What this process answered since it started, per method and "success" or "failure",
  // and its own errors: counters for the metrics.
  const std::map<std::pair<std::string, std::string>, uint64_t>& totals() const { return totals_; }
  uint64_t errors() const { return errors_; }

 private:
  struct Calls {
    Clock::time_point last;
    std::optional<Clock::time_point> success, failure;
    std::string failure_text;
    bool without_token = false;
  };
  std::map<std::tuple<std::string, std::string, std::string>, Calls> waiting_;
  std::map<std::pair<std::string, std::string>, uint64_t> totals_;
  uint64_t errors_ = 0;
};

}  // namespace zlv
