// Writing a whole file in one piece that also survives a power cut. The bytes go to a temporary
// file beside the target, reach the disk (not only the system's cache), and the temporary is
// then renamed over the target, the rename itself reaching the disk as well. When the call
// returns, the new file is on the disk under its final name: whatever is done next on the
// strength of it (a journal row deleted, an order confirmed) cannot outlive it. A reader sees
// the old file or the new one, never half of one; a failed write leaves the target as it was
// and no temporary.
//
// POSIX: fsync of the file, rename, fsync of the folder. Windows: FlushFileBuffers of the file
// and a write-through rename (a folder cannot be flushed there).
//
// Any thread; two calls must not share a temporary name.
#pragma once

#include <filesystem>
#include <string_view>

namespace zlv::platform {

// temp must sit in the target's folder (a rename does not cross file systems). Throws
// std::runtime_error naming the file or folder that could not be created, written, flushed to
// the disk or replaced; a failed flush is a failed write.
void WriteFileDurably(const std::filesystem::path& path, const std::filesystem::path& temp,
                      std::string_view bytes);

}  // namespace zlv::platform
