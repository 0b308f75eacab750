#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/service.h"
#include "support/temp_dir.h"

namespace zlv {
namespace {

namespace fs = std::filesystem;

ServiceDefinition Sinc() { return {.name = "SincPedido", .display_name = "Sincroniza Pedido"}; }

std::string CurrentUserName() {
  const passwd* entry = getpwuid(geteuid());
  return entry != nullptr ? entry->pw_name : "";
}

class ServiceTest : public ::testing::Test {
 protected:
  test::TempDir dir_{"zlv-units"};
  test::ScopedEnv unit_dir_{"ZLVSINC_UNIT_DIR", dir_.path().string()};
  test::ScopedEnv home_{"ZLVSINC_HOME", std::nullopt};
  test::ScopedEnv registry_{"ZLVSINC_REGISTRY", "/srv/zlv/registry.conf"};
  fs::path unit_ = dir_.path() / "SincPedido.service";
  fs::path wants_ = dir_.path() / "multi-user.target.wants" / "SincPedido.service";
};

TEST_F(ServiceTest, InstallWritesAnEnabledUnitThatSystemdRestartsOnFailure) {
  platform::InstallService(Sinc(), "/opt/zlv sinc/ZlvSinc");
  const std::string text = test::ReadFileBytes(unit_);
  EXPECT_NE(text.find("\nDescription=Sincroniza Pedido\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nExecStart=\"/opt/zlv sinc/ZlvSinc\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nWorkingDirectory=/opt/zlv sinc\n"), std::string::npos)
      << "taken to the end of the line, quotes and all\n"
      << text;
  EXPECT_NE(text.find("\nEnvironment=\"ZLVSINC_REGISTRY=/srv/zlv/registry.conf\"\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("ZLVSINC_HOME"), std::string::npos) << text;
  EXPECT_NE(text.find("\nUMask=0077\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nRestart=on-failure\nRestartSec=5\nRestartPreventExitStatus=78\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("KillMode="), std::string::npos) << "the whole control group ends" << text;
  EXPECT_NE(text.find("\nTimeoutStartSec=5\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n[Install]\nWantedBy=multi-user.target\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("User="), std::string::npos) << "the service runs as root";
  ASSERT_TRUE(fs::is_symlink(wants_));
  EXPECT_EQ(fs::canonical(wants_), fs::canonical(unit_));
}

TEST_F(ServiceTest, InstallEscapesWhatSystemdWouldExpand) {
  test::ScopedEnv registry("ZLVSINC_REGISTRY", "/srv/50%$\"r\\/registry.conf");
  platform::InstallService(Sinc(), "/opt/50%$x/ZlvSinc");
  const std::string text = test::ReadFileBytes(unit_);
  // The program's path is literal to systemd but for specifiers: "$" stays as it is.
  EXPECT_NE(text.find("\nExecStart=\"/opt/50%%$x/ZlvSinc\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nWorkingDirectory=/opt/50%%$x\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nEnvironment=\"ZLVSINC_REGISTRY=/srv/50%%$\\\"r\\\\/registry.conf\"\n"),
            std::string::npos)
      << text;
  // What systemd would misread or refuse is refused before the unit is written.
  for (const char* program : {"/opt/a\nExecStartPre=/bin/evil/ZlvSinc", "/opt/trailing /ZlvSinc",
                              "/opt/x\\/ZlvSinc", "/opt/\"q\"/ZlvSinc", "/opt/it's/ZlvSinc"}) {
    EXPECT_THROW(platform::InstallService(Sinc(), program), std::runtime_error) << program;
  }
}

TEST_F(ServiceTest, InstallTwiceReplacesTheUnit) {
  platform::InstallService(Sinc(), "/opt/old/ZlvSinc");
  platform::InstallService(Sinc(), "/opt/new/ZlvSinc");
  EXPECT_NE(test::ReadFileBytes(unit_).find("/opt/new/ZlvSinc"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(wants_));
}

TEST_F(ServiceTest, UninstallRemovesUnitAndLinkAndFailsWhenNothingIsInstalled) {
  platform::InstallService(Sinc(), "/opt/zlv/ZlvSinc");
  platform::UninstallService(Sinc());
  EXPECT_FALSE(fs::exists(unit_));
  EXPECT_FALSE(fs::exists(fs::symlink_status(wants_)));
  EXPECT_THROW(platform::UninstallService(Sinc()), std::runtime_error);
}

TEST_F(ServiceTest, InstallIntoAMissingFolderFailsWithTheReason) {
  test::ScopedEnv missing("ZLVSINC_UNIT_DIR", (dir_.path() / "no" / "such").string());
  try {
    platform::InstallService(Sinc(), "/opt/zlv/ZlvSinc");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("no/such/SincPedido.service"), std::string::npos);
  }
}

TEST_F(ServiceTest, RunModeFollowsTheUnitsAccount) {
  EXPECT_FALSE(platform::ServiceAccountIsCurrentUser(Sinc())) << "no unit: desktop";

  platform::InstallService(Sinc(), "/opt/zlv/ZlvSinc");
  EXPECT_EQ(platform::ServiceAccountIsCurrentUser(Sinc()), geteuid() == 0)
      << "no User=: the unit runs as root";

  test::WriteFileBytes(unit_, "[Unit]\nUser=nobody-else\n[Service]\nUser = " + CurrentUserName() +
                                  "\nExecStart=/x\n");
  EXPECT_TRUE(platform::ServiceAccountIsCurrentUser(Sinc()));

  test::WriteFileBytes(unit_, "[Service]\nUser=" + CurrentUserName() + "\nUser=zz-other\n");
  EXPECT_FALSE(platform::ServiceAccountIsCurrentUser(Sinc())) << "the last User= wins";

  test::WriteFileBytes(unit_, "[Service]\nUser=" + std::to_string(geteuid()) + "\n");
  EXPECT_TRUE(platform::ServiceAccountIsCurrentUser(Sinc())) << "a numeric user id";
}

// Root starting the program by hand while the unit exists runs in service mode too; only a
// process systemd started may leave its restart to systemd.
TEST_F(ServiceTest, OnlyAProcessSystemdStartedCountsAsStartedByIt) {
  {
    test::ScopedEnv invocation("INVOCATION_ID", std::nullopt);
    EXPECT_FALSE(platform::StartedByServiceManager());
  }
  test::ScopedEnv invocation("INVOCATION_ID", "0f5e1c2d3b4a59687766554433221100");
  EXPECT_TRUE(platform::StartedByServiceManager());
}

}  // namespace
}  // namespace zlv
