#include <sys/stat.h>

#include "platform/private_files.h"

namespace zlv::platform {

void RestrictNewFilesToOwner() { umask(S_IRWXG | S_IRWXO); }

}  // namespace zlv::platform
