#include "host/command_line.h"

#include <gtest/gtest.h>

#include "host/run_mode.h"

namespace zlv {
namespace {

TEST(CommandLineTest, SwitchesMatchInAnyCaseAfterAnyOfTheThreeLeaders) {
  for (const char* arg : {"/INSTALL", "-install", "\\Install", "/iNsTaLl"}) {
    const CommandLine line = ParseCommandLine({arg});
    EXPECT_TRUE(line.install) << arg;
    EXPECT_TRUE(ModoInstalacao(line)) << arg;
    EXPECT_EQ(line.first_parameter, "") << arg << " is a switch, not the codes";
  }
  const CommandLine line = ParseCommandLine({"-uninstall", "/silent", "\\once"});
  EXPECT_TRUE(line.uninstall);
  EXPECT_TRUE(line.silent);
  EXPECT_TRUE(line.once);
  EXPECT_FALSE(line.install);
}

TEST(CommandLineTest, WordsThatOnlyLookLikeSwitchesAreNotSwitches) {
  const CommandLine line = ParseCommandLine({"INSTALL", "/INSTALLX", "//ONCE", "+SILENT"});
  EXPECT_FALSE(line.install);
  EXPECT_FALSE(line.once);
  EXPECT_FALSE(line.silent);
  EXPECT_FALSE(ModoInstalacao(line));
  EXPECT_EQ(line.first_parameter, "INSTALL");
}

TEST(CommandLineTest, CodesAreTheFirstParameterThatIsNotASwitch) {
  EXPECT_EQ(ParseCommandLine({"01_005_"}).first_parameter, "01_005_");
  EXPECT_EQ(ParseCommandLine({"/ONCE", "01_005_", "02_006_"}).first_parameter, "01_005_");
  EXPECT_EQ(ParseCommandLine({}).first_parameter, "");
}

TEST(RunModeTest, InstallDecidesWithoutAskingTheServiceManager) {
  int asked = 0;
  const auto account = [&asked] {
    ++asked;
    return false;
  };
  EXPECT_EQ(DecideRunMode(ParseCommandLine({"/UNINSTALL"}), account), RunMode::kService);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(DecideRunMode(ParseCommandLine({"01_005_"}), account), RunMode::kDesktop);
  EXPECT_EQ(DecideRunMode(ParseCommandLine({"01_005_"}), [] { return true; }), RunMode::kService);
}

}  // namespace
}  // namespace zlv
