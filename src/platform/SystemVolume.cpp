#include "platform/SystemVolume.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/MachineFiles.h"

namespace platform {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string ReadLink(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n > 0 && static_cast<std::size_t>(n) < sizeof target ? std::string(target, n)
                                                              : std::string();
}

std::string ByUuidFolder() {
  const char* forced = std::getenv("VORNIK_DISK_BY_UUID");
  return forced != nullptr && *forced != '\0' ? std::string(forced)
                                              : std::string("/dev/disk/by-uuid");
}

bool FindRootMount(machine_files::MountEntry* root) {
  bool found = false;
  for (const machine_files::MountEntry& mount : machine_files::ReadMountTable()) {
    if (mount.mountPoint != "/") continue;
    *root = mount;
    found = true;
  }
  return found;
}

// The kernel's name of the mount's device ("sda1", "dm-0"), "" when the
// source is not a device path.
std::string DeviceName(const std::string& source) {
  if (source.compare(0, 5, "/dev/") != 0) return std::string();
  char resolved[PATH_MAX];
  return BaseName(realpath(source.c_str(), resolved) ? std::string(resolved) : source);
}

std::vector<std::string> SortedEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get()))
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  std::sort(names.begin(), names.end());
  return names;
}

bool FindUuidOfRoot(std::string* uuid) {
  machine_files::MountEntry root;
  if (!FindRootMount(&root)) return false;
  const std::string deviceName = DeviceName(root.source);
  const std::string folder = ByUuidFolder();
  const std::string sysfs = machine_files::SysfsRoot();
  for (const std::string& name : SortedEntries(folder)) {
    const std::string target = BaseName(ReadLink(folder + "/" + name));
    if (target.empty()) continue;
    const bool sameName = target == deviceName;
    const bool sameNumbers = machine_files::ReadTrimmedFirstLine(
                                 sysfs + "/class/block/" + target + "/dev", 64) == root.majorMinor;
    if (sameName || sameNumbers) {
      *uuid = name;
      return true;
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The machine id (32 hexadecimal digits) written as a UUID, for roots that
// have no file-system UUID (overlay and other virtual roots of containers).
bool MachineIdAsUuid(std::string* uuid) {
  const char* forced = std::getenv("VORNIK_MACHINE_ID");
  const std::string path =
      forced != nullptr && *forced != '\0' ? std::string(forced) : std::string("/etc/machine-id");
  const std::string id = machine_files::ReadTrimmedFirstLine(path, 64);
  if (id.size() != 32) return false;
  for (char c : id) {
    if (HexDigit(c) < 0) return false;
  }
  *uuid = id.substr(0, 8) + "-" + id.substr(8, 4) + "-" + id.substr(12, 4) + "-" +
          id.substr(16, 4) + "-" + id.substr(20);
  return true;
}

}  // namespace

bool GetSystemVolumeUuid(std::string* uuid) {
  if (uuid == nullptr) return false;
  const char* forced = std::getenv("VORNIK_ROOT_FS_UUID");
  if (forced != nullptr) {
    *uuid = forced;
    return !uuid->empty();
  }
  return FindUuidOfRoot(uuid) || MachineIdAsUuid(uuid);
}

bool GetSystemVolumeSerial(uint32_t* serial) {
  std::string uuid;
  if (serial == nullptr || !GetSystemVolumeUuid(&uuid)) return false;
  uint32_t value = 0;
  int digits = 0;
  for (std::size_t i = 0; i < uuid.size() && digits < 8; ++i) {
    if (uuid[i] == '-') continue;
    const int digit = HexDigit(uuid[i]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
    ++digits;
  }
  if (digits < 8) return false;
  *serial = value;
  return true;
}

}  // namespace platform
