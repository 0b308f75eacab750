// The command line of zlvsinc-central, the reference central order server:
//
//   serve --db FILE [--port N] [--bind ADDRESS] [--verbose] [--idle-timeout-ms N]
//         [--request-timeout-ms N] [--max-connections N]
//       Serves until SIGINT/SIGTERM; prints "listening on ADDRESS:PORT" once ready (port 0, the
//       default, picks a free port). The limits default to CentralServerLimits'.
//   add-orders --db FILE --branch B --store S --count N [--seed N] [--scheduled K] [--cancel K]
//              [--store-db FILE | --schema FILE --seed-sql FILE]
//       Generates N orders (K of them scheduled) from the store's master data: a store
//       database, or the schema and seed scripts (default: the project's db/ folder); and
//       cancels K orders the store has already confirmed.
//   post-orders --url http://HOST:PORT --key KEY --branch B --store S --count N [--seed N]
//               [--scheduled K] [--store-db FILE | --schema FILE --seed-sql FILE]
//       Makes N orders (the last K scheduled) from the store's master data as a channel sends
//       them, and posts each to the hub's API under the external id "demo-<seed>-<n>"; prints
//       "<external id> <hub id> <status>" per order. The same seed sends the same orders, which
//       the hub answers again with their first ids. A refusal ends the command (status 1) with
//       the hub's problem.
//   status --db FILE
//   add-product-problem --db FILE --product P --arvprod A --message M [--branch B]
//   add-message --db FILE --method NAME --text T [--branch B] [--store S] [--error]
//       The next call of the method from that branch and store gets this text as its result
//       (or, with --error, as a JSON-RPC error).
//
// Main thread only.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zlv {

// Runs one command; returns the exit status (0 done, 1 failed, 2 bad command line).
int RunCentralCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zlv
