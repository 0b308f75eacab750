#include "platform/cmd_parameters.h"

#include <gtest/gtest.h>

namespace zlv::platform {
namespace {

TEST(CmdParametersTest, RestartTextMatchesTheInstalledCommandToTheByte) {
  EXPECT_EQ(Win32RestartParameters("C:\\Sinc", "01", "005", 4242),
            "/C TASKKILL /F /PID 4242 && start /D \"C:\\Sinc\\\" /B ZlvSinc.exe 01_005_ ");
}

TEST(CmdParametersTest, RestartTextKeepsBlanksOfTheFolderInsideTheQuotes) {
  EXPECT_EQ(Win32RestartParameters("C:\\Program Files\\Zelvora", "0001", "001", 4242),
            "/C TASKKILL /F /PID 4242 && start /D \"C:\\Program Files\\Zelvora\\\" /B "
            "ZlvSinc.exe 0001_001_ ");
}

TEST(CmdParametersTest, RestartWithEmptyCodesStillEndsWithTheSeparators) {
  EXPECT_EQ(Win32RestartParameters("D:\\Z", "", "", 4242),
            "/C TASKKILL /F /PID 4242 && start /D \"D:\\Z\\\" /B ZlvSinc.exe __ ");
}

}  // namespace
}  // namespace zlv::platform
