#include "platform/config_key.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zlv {
namespace {

TEST(ConfigKeyTest, ReadsTrimmedValuesIgnoringCommentsAndNameCase) {
  test::TempDir dir("zlv-key");
  const auto file = dir.path() / "registry.conf";
  test::WriteFileBytes(file,
                       "\xEF\xBB\xBF# central server\r\n"
                       "\r\n"
                       "  IpServer =  10.0.0.5:2110 \r\n"
                       "ConnectionString=sqlite:/var/db/loja.db;mode=rw\n"
                       "   # IpServer=commented.out\n"
                       "line without equals\n"
                       "Empty=\n");
  const FileConfigKey key(file);
  EXPECT_EQ(key.Read("IpServer"), "10.0.0.5:2110");
  EXPECT_EQ(key.Read("ipserver"), "10.0.0.5:2110");
  EXPECT_EQ(key.Read("ConnectionString"), "sqlite:/var/db/loja.db;mode=rw");
  EXPECT_EQ(key.Read("Empty"), "");
  EXPECT_EQ(key.Read("Missing"), std::nullopt);
  EXPECT_EQ(key.Read("line without equals"), std::nullopt);
}

TEST(ConfigKeyTest, LastOccurrenceWins) {
  test::TempDir dir("zlv-key");
  test::WriteFileBytes(dir.path() / "k", "IpServer=first\nIPSERVER=second\n");
  EXPECT_EQ(FileConfigKey(dir.path() / "k").Read("IpServer"), "second");
}

// The key file holds the installation's token: one others can read is reported.
TEST(ConfigKeyTest, AFileOthersCanReadIsReported) {
  test::TempDir dir("zlv-key");
  const std::filesystem::path file = dir.path() / "registry.conf";
  test::WriteFileBytes(file, "Token=zlvt_x\n");
  std::filesystem::permissions(file, std::filesystem::perms(0644));
  EXPECT_EQ(FileConfigKey(file).ReadableByOthers(), file.string());
  std::filesystem::permissions(file, std::filesystem::perms(0600));
  EXPECT_EQ(FileConfigKey(file).ReadableByOthers(), std::nullopt);
}

TEST(ConfigKeyTest, MissingFileHoldsNoValues) {
  test::TempDir dir("zlv-key");
  EXPECT_EQ(FileConfigKey(dir.path() / "absent.conf").Read("IpServer"), std::nullopt);
  EXPECT_EQ(FileConfigKey(dir.path()).Read("IpServer"), std::nullopt);  // a folder
}

TEST(ConfigKeyTest, MachineKeyFollowsTheEnvironmentVariable) {
  test::TempDir dir("zlv-key");
  test::WriteFileBytes(dir.path() / "a.conf", "IpServer=host-a\n");
  test::WriteFileBytes(dir.path() / "b.conf", "IpServer=host-b\n");
  {
    test::ScopedEnv env("ZLVSINC_REGISTRY", (dir.path() / "a.conf").string());
    EXPECT_EQ(platform::MachineConfigKey().Read("IpServer"), "host-a");
  }
  test::ScopedEnv env("ZLVSINC_REGISTRY", (dir.path() / "b.conf").string());
  EXPECT_EQ(platform::MachineConfigKey().Read("IpServer"), "host-b");
}

}  // namespace
}  // namespace zlv
