// Where the process learns whom it serves and where the central server is.
//
// LeParametros: the branch and cash-register codes, from the first command-line parameter
// ("<branch>_<register>_", pieces each closed by "_", at most ten) or, without one, from the
// fields CDFILIAL and CDCAIXA of the first record of the local parameter file Zelvora.cds in
// the installation folder (a data packet file).
//
// LeIpServer: the central server's address, the value IpServer of the configuration key:
// a host, optionally ":" and a port (default 211), for framed TCP; or "https://host[:port]
// [/path]" (path /rpc when none) for HTTPS. With it the values Token (the installation's token)
// and Proxy (for HTTPS: "host:port"; none: the system's settings). Read again before every
// connection attempt, so an edited value counts at the next reconnection.
//
// Main thread.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "data/dataset.h"
#include "data/variant.h"
#include "sync/central_client.h"

namespace zlv {

class ConfigKey;

// Slots 0 and 1 receive the branch and the cash-register code; unassigned slots stay Empty.
using ParameterSlots = std::array<Variant, 10>;

// What was read cannot name a cash register; the message says what was read.
class ParameterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kParameterFileName = "Zelvora.cds";

// Fills the slots; with no parameter and no file it leaves them unassigned. Throws
// ParameterError for a parameter whose last piece lacks its "_", that has more than ten pieces,
// or whose branch or cash-register code is empty, and for a file with no record or empty codes;
// a file that cannot be read throws its reading error. cdsParametros receives the file.
void LeParametros(const std::string& first_parameter, const std::filesystem::path& exe_folder,
                  Dataset& cdsParametros, ParameterSlots& slots);

// The endpoint of IpServer, Token and Proxy; nothing when IpServer does not exist. Throws
// std::invalid_argument naming the value when the port is not a whole number from 1 to 65535,
// or the address names another scheme than https: that connection attempt fails, the next one
// reads the value again.
std::optional<CentralEndpoint> LeIpServer(const ConfigKey& key);

}  // namespace zlv
