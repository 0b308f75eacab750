#include "platform/private_files.h"

namespace zlv::platform {

// New files inherit the installation folder's access list, which only administrators and the
// service's account may change (docs/windows-install.md).
void RestrictNewFilesToOwner() {}

}  // namespace zlv::platform
