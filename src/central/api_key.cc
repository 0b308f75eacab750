#include "central/api_key.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace zlv {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

// "prefix" and 256 random bits in hex.
std::string NewSecret(const char* prefix) {
  unsigned char bytes[32];
  if (RAND_bytes(bytes, sizeof bytes) != 1) {
    throw std::runtime_error("no randomness to make a key from");
  }
  return prefix + Hex(bytes, sizeof bytes);
}

}  // namespace

std::string NewApiKey() { return NewSecret("zlvk_"); }

std::string NewInstallationToken() { return NewSecret("zlvt_"); }

std::string ApiKeyHash(const std::string& key) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(key.data(), key.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  return Hex(digest, size);
}

}  // namespace zlv
