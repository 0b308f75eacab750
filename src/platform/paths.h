// Where the installation lives. The exe folder is the running executable's folder; the
// environment variable ZLVSINC_HOME, when set and not empty, replaces it (tests and the demo
// run a whole installation inside a temporary folder).
#pragma once

#include <filesystem>

namespace zlv::platform {

std::filesystem::path ExecutablePath();  // the running program's full path
std::filesystem::path ExeFolder();

}  // namespace zlv::platform
