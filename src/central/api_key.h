// The channels' API keys: made from 256 random bits, shown once to the operator who makes one,
// and kept by the hub only as their SHA-256, so that a copy of the database opens nothing.
#pragma once

#include <string>

namespace zlv {

// A new key: "zlvk_" and 64 hex digits. Throws std::runtime_error when the system has no
// randomness to give.
std::string NewApiKey();
// A new installation token, made the same way: "zlvt_" and 64 hex digits.
std::string NewInstallationToken();

// The SHA-256 of the key's text, in lower-case hex: what the hub stores and looks up.
std::string ApiKeyHash(const std::string& key);

}  // namespace zlv
