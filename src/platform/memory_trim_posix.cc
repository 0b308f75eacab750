#include <malloc.h>

#include "platform/memory_trim.h"

namespace zlv::platform {

// malloc_trim reports only whether it found pages to return; finding none is no failure.
void TrimWorkingSet() { malloc_trim(0); }

void KeepFreedMemoryUntilTrim() {
  constexpr int kTrimThreshold = 64 * 1024 * 1024;
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}

}  // namespace zlv::platform
