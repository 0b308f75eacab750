#include <cstdlib>

#include "platform/config_key.h"

namespace zlv::platform {

namespace {

constexpr const char* kDefaultFile = "/etc/zlvsinc/registry.conf";

// The file is looked up on every read, so that $ZLVSINC_REGISTRY set after start-up (tests,
// the demo) is honoured.
class MachineFileKey : public ConfigKey {
 public:
  std::optional<std::string> Read(const std::string& name) const override {
    return File().Read(name);
  }
  std::optional<std::string> ReadableByOthers() const override { return File().ReadableByOthers(); }

 private:
  static FileConfigKey File() {
    const char* env = std::getenv("ZLVSINC_REGISTRY");
    return FileConfigKey(env != nullptr && *env != '\0' ? env : kDefaultFile);
  }
};

}  // namespace

const ConfigKey& MachineConfigKey() {
  static const MachineFileKey key;
  return key;
}

}  // namespace zlv::platform
