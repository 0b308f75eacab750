// The installation's configuration key: named text values (IpServer, ConnectionString).
// Windows: HKEY_LOCAL_MACHINE\SOFTWARE\Zelvora\ZlvSinc, the 64-bit view first, then the
// 32-bit one (WOW6432Node) for a value missing there. POSIX: a key=value file, the path in
// $ZLVSINC_REGISTRY, default /etc/zlvsinc/registry.conf.
//
// Read-only; any thread may read.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zlv {

class ConfigKey {
 public:
  virtual ~ConfigKey() = default;
  // nullopt when the value does not exist (or the key cannot be read).
  virtual std::optional<std::string> Read(const std::string& name) const = 0;
  // Where the key is kept when users other than its owner can read it there (a key file open
  // to the group or to others); nullopt when it is not, or the key is the registry's.
  virtual std::optional<std::string> ReadableByOthers() const { return std::nullopt; }
};

// A key kept as a text file of "name=value" lines, read afresh on every Read so that an edited
// file counts without a restart. Blank lines and lines starting with '#' are ignored, blanks
// around names and values are dropped, the last line of a name wins, and names match without
// regard to case (as registry value names do). A missing or unreadable file holds no values.
class FileConfigKey : public ConfigKey {
 public:
  explicit FileConfigKey(std::filesystem::path file) : file_(std::move(file)) {}
  std::optional<std::string> Read(const std::string& name) const override;
  std::optional<std::string> ReadableByOthers() const override;

 private:
  std::filesystem::path file_;
};

namespace platform {
// The machine's configuration key.
const ConfigKey& MachineConfigKey();
}  // namespace platform

}  // namespace zlv
