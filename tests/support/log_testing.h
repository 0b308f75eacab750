// Test helper: the messages of a day's log file, without their time stamps, converted back to
// UTF-8. Compiled into test binaries only.
#pragma once

#include <string>
#include <vector>

#include "data/datetime.h"
#include "log/activity_log.h"

namespace zlv::test {

// Empty when the day has no file.
std::vector<std::string> LogMessages(const ActivityLog& log, DateTime day);

// Every message of every day's file under exe_folder/Dados/Zlv_Sinc, oldest file first.
std::vector<std::string> AllLogMessages(const std::filesystem::path& exe_folder);

}  // namespace zlv::test
