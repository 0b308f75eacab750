// The installation's configuration key: named text values (IpServer, ConnectionString).
// Windows: HKEY_LOCAL_MACHINE\SOFTWARE\Zelvora\ZlvSinc. POSIX: a key=value file, the path in
// $ZLVSINC_REGISTRY, default /etc/zlvsinc/registry.conf.
#pragma once

#include <optional>
#include <string>

namespace zlv {

class ConfigKey {
 public:
  virtual ~ConfigKey() = default;
  // nullopt when the value does not exist (or the key cannot be read).
  virtual std::optional<std::string> Read(const std::string& name) const = 0;
};

namespace platform {
// The machine's configuration key.
const ConfigKey& MachineConfigKey();
}  // namespace platform

}  // namespace zlv
