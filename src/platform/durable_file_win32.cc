#include <windows.h>

#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/durable_file.h"
#include "platform/win32_handle.h"
#include "platform/win32_support.h"

namespace zlv::platform {

namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// "<what> <path><where>: <the system's reason>".
[[noreturn]] void Fail(const std::string& what, const fs::path& path, const char* where = "") {
  win32::ThrowLastError(what + " " + Utf8(path) + where);
}

void WriteTemp(const fs::path& temp, std::string_view bytes) {
  const HANDLE created = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) Fail("Não foi possível criar o arquivo", temp);
  win32::KernelHandle file(created);
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) {
      Fail("Não foi possível gravar o arquivo", temp);
    }
    bytes.remove_prefix(written);
  }
  if (!FlushFileBuffers(file.get())) Fail("Não foi possível gravar o arquivo", temp, " no disco");
  // Closing is the last write: its failure is the file's.
  if (!CloseHandle(file.release())) Fail("Não foi possível gravar o arquivo", temp);
}

}  // namespace

void WriteFileDurably(const fs::path& path, const fs::path& temp, std::string_view bytes) {
  try {
    WriteTemp(temp, bytes);
    // A folder cannot be flushed on Windows: the write-through rename returns once the new name
    // is on the disk.
    if (!MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      Fail("Não foi possível gravar o arquivo", path);
    }
  } catch (const std::runtime_error&) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
}

}  // namespace zlv::platform
