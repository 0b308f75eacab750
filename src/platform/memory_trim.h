// Hands the process's idle memory back to the system (Windows: the working set emptied with
// SetProcessWorkingSetSize(-1, -1); POSIX: malloc_trim(0), the allocator's free pages).
//
// Throws std::runtime_error when the system refuses. Any thread.
#pragma once

namespace zlv::platform {

void TrimWorkingSet();

}  // namespace zlv::platform
