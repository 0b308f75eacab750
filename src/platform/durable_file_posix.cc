#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/durable_file.h"
#include "platform/system_error_text.h"

namespace zlv::platform {

namespace {

namespace fs = std::filesystem;

// An open descriptor, closed when it goes out of scope unless Close() already did.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// "<what> <path><where>: <the system's reason>".
[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error,
                       const char* where = "") {
  ThrowPosixError(what + " " + path.string() + where, error);
}

void WriteAll(int fd, std::string_view bytes, const fs::path& temp) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail("Não foi possível gravar o arquivo", temp, errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void WriteTemp(const fs::path& temp, std::string_view bytes) {
  Descriptor file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.get() < 0) Fail("Não foi possível criar o arquivo", temp, errno);
  WriteAll(file.get(), bytes, temp);
  if (::fsync(file.get()) != 0) Fail("Não foi possível gravar o arquivo", temp, errno, " no disco");
  if (!file.Close()) Fail("Não foi possível gravar o arquivo", temp, errno);
}

}  // namespace

void WriteFileDurably(const fs::path& path, const fs::path& temp, std::string_view bytes) {
  try {
    WriteTemp(temp, bytes);
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
      Fail("Não foi possível gravar o arquivo", path, errno);
    }
  } catch (const std::runtime_error&) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  // The new name lives in the folder: until the folder reaches the disk, a power cut can bring
  // back the old file, or none.
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
    Fail("Não foi possível gravar a pasta", folder, errno, " no disco");
  }
}

}  // namespace zlv::platform
