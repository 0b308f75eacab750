// TrimAppMemorySize: gives the process's idle memory back to the system at the start of every
// synchronisation run (each run loads and drops large data packets, and the process lives for
// hours). A failure is logged as "Except TrimAppMemorySize" and the run goes on.
//
// Main thread.
#pragma once

namespace zlv {

class ActivityLog;

void TrimAppMemorySize(ActivityLog& log);

}  // namespace zlv
