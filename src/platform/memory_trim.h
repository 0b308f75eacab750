// Hands the process's idle memory back to the system (Windows: the working set emptied with
// SetProcessWorkingSetSize(-1, -1); POSIX: malloc_trim(0), the allocator's free pages).
//
// Throws std::runtime_error when the system refuses. Any thread.
#pragma once

namespace zlv::platform {

void TrimWorkingSet();

// Lets the allocator keep the memory a run frees until the next TrimWorkingSet instead of
// handing it back at every large free (POSIX: the trim threshold raised). A run frees and
// takes back megabytes at every statement and data packet; returned at once, each page comes
// back through a page fault, which doubled the cost of writing and printing an order. The
// trim at the start of every run still bounds what the process holds. Call once, at start-up,
// before other threads run.
void KeepFreedMemoryUntilTrim();

}  // namespace zlv::platform
