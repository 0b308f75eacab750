// Where POSIX single-instance lock files may be (platform/single_instance.h says which folder
// an account uses), for the probe that looks for a holder from any account.
#pragma once

#include <filesystem>
#include <vector>

namespace zlv::platform {

// $ZLVSINC_LOCK_DIR alone when set; otherwise root's folder, then the shared ones.
std::vector<std::filesystem::path> SingleInstanceFolders();

}  // namespace zlv::platform
