// What INSTALL and UNINSTALL tell the technician who ran them. POSIX: standard output, or
// standard error for a failure. Windows: the program has no console, so the text is shown in
// a message box on the desktop of whoever started it (and also written to the standard
// streams, which are there when a caller redirects them); the box waits for its OK.
//
// Main thread.
#pragma once

#include <string>

namespace zlv::platform {

void TellTechnician(const std::string& text, bool failure);

}  // namespace zlv::platform
