#include "central/installation_access.h"

#include <gtest/gtest.h>

#include "central/api_key.h"
#include "central/open_hub_store.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

using namespace std::chrono_literals;

TEST(InstallationTokens, ARevocationCountsOnceTheCachedLookupHasAged) {
  test::TempDir home("zlv-installation-tokens");
  const auto store = OpenHubStore((home.path() / "hub.db").string());
  const std::string token = NewInstallationToken();
  store->AddInstallationToken({ApiKeyHash(token), "0001", "1", "001", false});
  InstallationTokens tokens(*store, 30s);
  const auto start = InstallationTokens::Clock::now();
  ASSERT_TRUE(tokens.Find(token, start));
  EXPECT_EQ(tokens.Find(token, start)->store, "001");

  store->RevokeInstallationTokens("0001", "1", "");
  EXPECT_TRUE(tokens.Find(token, start + 29s));  // another process may still take it this long
  EXPECT_FALSE(tokens.Find(token, start + 30s));
}

TEST(InstallationTokens, NoTokenReachesALogLine) {
  const std::string token = NewInstallationToken();
  EXPECT_EQ(WithoutTokens("Autentica [\"" + token + "\"] x zlvt_ab zlvt_"),
            "Autentica [\"zlvt_…\"] x zlvt_… zlvt_…");
}

}  // namespace
}  // namespace zlv
