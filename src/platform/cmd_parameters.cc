#include "platform/cmd_parameters.h"

namespace zlv::platform {

std::string Win32RestartParameters(std::string_view folder, std::string_view cdfilial,
                                   std::string_view cdcaixa, unsigned long pid) {
  std::string text = "/C TASKKILL /F /PID " + std::to_string(pid) + " && start /D \"";
  text += folder;
  text += "\\";
  // start /B: no new console window; the program reads its codes from its first parameter.
  text += "\" /B ZlvSinc.exe ";
  text += cdfilial;
  text += "_";
  text += cdcaixa;
  text += "_ ";
  return text;
}

}  // namespace zlv::platform
