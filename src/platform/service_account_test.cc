#include "platform/service_account.h"

#include <gtest/gtest.h>

#include <map>

namespace zlv::platform {
namespace {

constexpr const char* kLocalUser = "S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr const char* kDomainUser = "S-1-5-21-3623811015-3361044348-30300820-1105";

// The accounts this machine's LookupAccountNameW knows. Names are looked up as the system
// would; the system account's localised name is deliberately not among them.
std::optional<std::string> Lookup(const std::string& name) {
  static const std::map<std::string, std::string> accounts = {{"caixa", kLocalUser},
                                                              {"LOJA\\sinc", kDomainUser}};
  const auto it = accounts.find(name);
  return it == accounts.end() ? std::nullopt : std::optional<std::string>(it->second);
}

TEST(ContaDoServicoTest, ComparesTheProcessSidWithTheConfiguredAccountsSid) {
  const struct {
    const char* start_name;
    const char* process_sid;
    bool service;
  } cases[] = {
      // The system account, whatever the language calls it ("AUTORIDADE NT\SISTEMA").
      {"LocalSystem", "S-1-5-18", true},
      {"localsystem", "s-1-5-18", true},
      {"", "S-1-5-18", true},
      {"LocalSystem", kLocalUser, false},
      {"NT AUTHORITY\\NetworkService", "S-1-5-20", true},
      {"NT AUTHORITY\\NetworkService", "S-1-5-18", false},
      // A local user, written ".\name" by the manager.
      {".\\caixa", kLocalUser, true},
      {".\\caixa", "S-1-5-18", false},
      {".\\caixa", kDomainUser, false},
      // A domain user; the same relative id under another authority is another account.
      {"LOJA\\sinc", kDomainUser, true},
      {"LOJA\\sinc", "S-1-5-21-1004336348-1177238915-682003330-1105", false},
      // An account the system does not know, and a token that could not be read.
      {".\\removido", kLocalUser, false},
      {"LocalSystem", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContaDoServico(c.start_name, c.process_sid, Lookup), c.service)
        << c.start_name << " / " << c.process_sid;
  }
}

}  // namespace
}  // namespace zlv::platform
