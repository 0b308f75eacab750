#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/health_probe.h"
#include "platform/single_instance_folder.h"

namespace zlv::platform {

std::string BootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

// /proc/locks lists every lock held with its holder and the locked file's device and inode:
// reading it takes nothing, unlike trying the lock.
long CurrentProcessId() { return static_cast<long>(getpid()); }

namespace {

// The "major:minor:inode" /proc/locks names a file by.
std::string LocksFileId(const struct stat& file) {
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long long>(file.st_ino));
  return id;
}

}  // namespace

// /proc/locks lists every lock held with the locked file's device and inode: reading it takes
// nothing, unlike trying the lock.
InstanceState ProbeSingleInstance(const std::string& name) {
  std::vector<std::string> files;
  bool unseen = false;  // a folder this account may not look into
  for (const std::filesystem::path& folder : SingleInstanceFolders()) {
    struct stat file {};
    if (stat((folder / (name + ".lock")).c_str(), &file) == 0) {
      files.push_back(LocksFileId(file));
    } else if (errno != ENOENT) {
      unseen = true;
    }
  }
  if (files.empty()) return unseen ? InstanceState::kUnknown : InstanceState::kNotRunning;
  std::ifstream locks("/proc/locks");
  if (!locks) return InstanceState::kUnknown;
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line has "->" after the
    // number and holds nothing.
    std::istringstream fields(line);
    std::string id, kind, advisory, access, pid, file_id;
    fields >> id >> kind >> advisory >> access >> pid >> file_id;
    if (kind != "FLOCK") continue;
    for (const std::string& wanted : files) {
      if (file_id == wanted) return InstanceState::kRunning;
    }
  }
  return unseen ? InstanceState::kUnknown : InstanceState::kNotRunning;
}

std::string ServiceState(const std::string& service_name) {
  if (access("/run/systemd/system", F_OK) != 0) return {};
  const std::string command =
      "systemctl show -p LoadState,ActiveState --value '" + service_name + ".service' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::array<char, 256> buffer{};
  std::string load, active;
  if (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) load = buffer.data();
  if (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) active = buffer.data();
  auto trim = [](std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  };
  trim(load);
  trim(active);
  if (load == "not-found") return "não instalado";
  return active;
}

void WriteToStarter(std::string_view utf8_text) { std::cout << utf8_text << std::flush; }

}  // namespace zlv::platform
