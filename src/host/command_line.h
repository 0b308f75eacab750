// The program's command line: the switches INSTALL, UNINSTALL, SILENT, ONCE, STATUS and JSON
// (any letter case, introduced by "/", "-" or "\") and the first parameter that is not a
// switch, the branch and cash-register codes "<branch>_<register>_" read by start-up.
//
// ONCE is for operators and tests: start-up with its first cycle, then a normal end; no
// watchdog is started, so nothing can restart such a process.
//
// STATUS prints the synchroniser's health and ends (host/status_command.h); with JSON, as one
// JSON object.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// FindCmdLineSwitch: true when one of the arguments is the switch.
bool FindCmdLineSwitch(const std::vector<std::string>& args, std::string_view name);

struct CommandLine {
  bool install = false;
  bool uninstall = false;
  bool silent = false;
  bool once = false;
  bool status = false;
  bool json = false;
  std::string first_parameter;  // empty when there is none
};

// args: the arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace zlv
