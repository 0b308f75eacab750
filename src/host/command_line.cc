#include "host/command_line.h"

#include "bizlib/text.h"

namespace zlv {

namespace {

bool IsSwitch(std::string_view arg) {
  return !arg.empty() && (arg[0] == '/' || arg[0] == '-' || arg[0] == '\\');
}

}  // namespace

bool FindCmdLineSwitch(const std::vector<std::string>& args, std::string_view name) {
  for (const std::string& arg : args) {
    if (IsSwitch(arg) && SameText(std::string_view(arg).substr(1), name)) return true;
  }
  return false;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  line.install = FindCmdLineSwitch(args, "INSTALL");
  line.uninstall = FindCmdLineSwitch(args, "UNINSTALL");
  line.silent = FindCmdLineSwitch(args, "SILENT");
  line.once = FindCmdLineSwitch(args, "ONCE");
  line.status = FindCmdLineSwitch(args, "STATUS");
  line.json = FindCmdLineSwitch(args, "JSON");
  // The codes are the first parameter; a switch written before them (an operator's
  // "ZlvSinc /ONCE 01_005_") must not be taken for them.
  for (const std::string& arg : args) {
    if (!IsSwitch(arg)) {
      line.first_parameter = arg;
      break;
    }
  }
  return line;
}

}  // namespace zlv
