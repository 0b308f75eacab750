// Writing a whole file in one piece: the bytes go to a temporary file beside the target, which
// is then renamed over it. A reader (the print spooler, the next start-up) sees the old file or
// the new one, never half of one; a failed write leaves the target as it was and no temporary.
#pragma once

#include <filesystem>
#include <string_view>

namespace zlv {

// temp must sit in the target's folder (a rename does not cross file systems). Throws
// std::runtime_error naming the file that could not be created, written or replaced.
void ReplaceFileContents(const std::filesystem::path& path, const std::filesystem::path& temp,
                         std::string_view bytes);

}  // namespace zlv
