// ZlvSinc <branch>_<register>_ /STATUS [/JSON]: the synchroniser's health at a glance, for the
// technician on the phone and for monitoring. It reads what the running process leaves (the
// health record), asks the system whether a synchroniser holds the machine's lock and what the
// service manager says, and asks the store database what it owes; it never writes the store
// database, never takes the lock and never starts a cycle. The screen and the exit status are
// health/status_report.h's; without the branch/register parameter, Zelvora.cds or the health
// record name them.
//
// Main thread.
#pragma once

#include "host/command_line.h"

namespace zlv {

// Writes the report to whoever started the program and returns the exit status (0 to 3).
int RunStatusCommand(const CommandLine& line);

}  // namespace zlv
