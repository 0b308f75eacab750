// Which store an installation's token opens, and what a call of the store protocol may touch
// under it.
//
// InstallationTokens looks tokens up through a small cache: a store calls every few seconds and
// the hub must not read the database for each call, but a revoked token must stop working in
// every hub process within a minute. A lookup, found or not, is kept at most `ttl` (30 s), and
// a connection bound to a token looks it up again on each call through the cache: a
// revocation counts within 30 s on a connection that stays open too.
//
// CheckScope refuses a call that names, or carries rows of, a branch or store that is not the
// installation's, before anything is read or changed.
//
// One thread at a time (the server's event loop).
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "central/hub_store.h"
#include "data/variant.h"

namespace zlv {

// The text every refusal starts with: the store logs the hub's message as it comes.
inline constexpr const char* kNotAuthorizedText = "acesso não autorizado";

// A branch and cash register, and the store its token covers ("" for every store of the
// branch).
struct Installation {
  std::string branch, cash_register, store;
};

class InstallationTokens {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kDefaultTtl{30};
  // At most this many lookups are kept: tokens made up by a caller cannot grow the process.
  static constexpr std::size_t kMaxKept = 100'000;

  explicit InstallationTokens(HubStore& store, std::chrono::seconds ttl = kDefaultTtl)
      : store_(store), ttl_(ttl) {}

  // The installation of a valid token; nullopt for a token unknown or revoked. Throws what the
  // database throws.
  std::optional<Installation> Find(const std::string& token, Clock::time_point now);

 private:
  struct Kept {
    std::optional<Installation> installation;
    Clock::time_point at;
  };
  HubStore& store_;
  std::chrono::seconds ttl_;
  std::map<std::string, Kept> kept_;  // by the token's hash
};

// Throws BadRequest(kNotAuthorized) when the call's branch or store arguments, or the CDFILIAL
// or CDLOJA of any row of any packet it carries, are not the installation's. A confirmation
// (UpdateSincronismo) goes by branch and sale only, so under a one-store installation its rows
// must name their store.
void CheckScope(const Installation& installation, const std::string& method,
                const std::vector<Variant>& params);

// The refusals' messages.
std::string TokenRefusedText();
std::string TokenRequiredText();

// A log line with every installation token in it masked ("zlvt_…"): a token a store sent in a
// malformed request must not reach the hub's log.
std::string WithoutTokens(std::string line);

}  // namespace zlv
