// ContaDoServico: whether this process runs under the account the service is registered to
// run as, which is how a process started by the service manager knows it. Decided by security
// identifier, never by name: the system account is "SYSTEM" on an English Windows and
// "AUTORIDADE NT\SISTEMA" on a Portuguese one, and a name compared as text sends the service
// to desktop mode, where it never answers the manager (error 1053).
//
// Pure functions on SID strings ("S-1-5-18"); the Win32 side reads the process token and asks
// LookupAccountNameW. Any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zlv::platform {

inline constexpr std::string_view kLocalSystemSid = "S-1-5-18";

// The SID of a start name that needs no look-up: the manager writes the system account as
// "LocalSystem" (or leaves the name empty), and the two service accounts as
// "NT AUTHORITY\LocalService" and "NT AUTHORITY\NetworkService" whatever the system's
// language. nullopt for any other account.
std::optional<std::string> WellKnownAccountSid(std::string_view start_name);

// The name to hand LookupAccountNameW: the manager writes a local account as ".\name", which
// the look-up does not read; the bare name finds the local account first.
std::string AccountNameForLookup(std::string_view start_name);

// SIDs are compared as the system writes them, but for the letter case of the "S".
bool SameSid(std::string_view a, std::string_view b);

// True when process_sid (the user of this process's token) is the SID of the service's
// configured start name. lookup answers LookupAccountNameW for a name (nullopt when the
// account is unknown), and is asked only for an account that is not well known. An empty
// process SID (the token could not be read) is never the service's.
bool ContaDoServico(std::string_view start_name, std::string_view process_sid,
                    const std::function<std::optional<std::string>(const std::string&)>& lookup);

}  // namespace zlv::platform
