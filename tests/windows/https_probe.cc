// zlv-https-probe.exe: RequisicaoHTTPS of the Windows build (WinHTTP) run by the wine smoke
// tests against a loopback HTTPS server.
//
//   zlv-https-probe trust <ca.pem>            adds the CA to the user's trusted roots
//   zlv-https-probe post <url> <hex> <secs>   posts the bytes <hex> stands for as XML, prints
//                                             the reply; exit 2 and the message on a failure
//                                             of the request
//   zlv-https-probe syserr <code>             prints the system's text for the error code as
//                                             the log gets it (SystemErrorText), in hex
// The body comes in hex so that the bytes arrive unchanged by the command line's code page.
#include <windows.h>
// after <windows.h>, whose types it uses
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "bizlib/https.h"
#include "platform/system_error_text.h"

namespace {

int Trust(const std::string& pem_file) {
  std::ifstream in(pem_file, std::ios::binary);
  const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    std::cerr << "not a PEM certificate: " << pem_file << std::endl;
    return 1;
  }
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                       nullptr);
  if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(), size)) {
    std::cerr << "CertAddEncodedCertificateToSystemStore failed: " << GetLastError() << std::endl;
    return 1;
  }
  return 0;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "trust") return Trust(args[1]);
  if (args.size() == 4 && args[0] == "post") {
    try {
      std::cout << zlv::RequisicaoHTTPS(args[1], FromHex(args[2]), "POST", "", args[3], "", "xml");
      return 0;
    } catch (const zlv::HttpsError& e) {
      std::cout << e.what();
      return 2;
    }
  }
  if (args.size() == 2 && args[0] == "syserr") {
    const std::string text =
        zlv::platform::SystemErrorText(std::error_code(std::stoi(args[1]), std::system_category()));
    for (unsigned char c : text) std::printf("%02x", c);
    return 0;
  }
  std::cerr << "usage: zlv-https-probe trust <ca.pem> | post <url> <hex> <seconds> | syserr <code>"
            << std::endl;
  return 1;
}
