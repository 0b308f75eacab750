// Services: what the operations of the synchroniser work with, handed to each subsystem by the
// main form that owns them for the life of the process: the store connection, the log, the
// clock, the process-wide values, the installation folder and the regional settings.
// Main thread only (the log and the watchdog values are the thread-safe parts).
#pragma once

#include <filesystem>

#include "bizlib/clock.h"
#include "bizlib/globals.h"
#include "bizlib/regional.h"
#include "database/database.h"
#include "log/activity_log.h"

namespace zlv {

struct Services {
  Database& db;
  ActivityLog& log;
  const Clock& clock;
  Globals& globals;
  std::filesystem::path exe_folder;
  const RegionalSettings& regional = RegionalSettings::Default();
};

}  // namespace zlv
