// Test helpers shared by the test binaries: a temporary folder removed with all it holds when
// the test ends, whole-file reads and writes, and an environment variable set for one scope.
//
// For use on the test's own thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zlv::test {

class TempDir {
 public:
  // A new empty folder under the system's temporary folder; name_hint shows up in its name.
  explicit TempDir(std::string_view name_hint = "zlv");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  TempDir(TempDir&& other) noexcept;
  TempDir& operator=(TempDir&& other) noexcept;

  const std::filesystem::path& path() const { return path_; }

 private:
  void Remove() noexcept;
  std::filesystem::path path_;
};

// The file's bytes; throws std::runtime_error naming the file when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);
// Creates or replaces the file (and its missing folders) with exactly these bytes.
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

// Sets (or, with nullopt, removes) an environment variable and restores its earlier state at
// the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace zlv::test
