#include "platform/Drives.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <sstream>

#include "platform/Encoding.h"
#include "platform/MachineFiles.h"
#include "platform/Paths.h"

namespace platform {
namespace {

using machine_files::MountEntry;

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

bool IsPseudoOrNetworkFileSystem(const std::string& type) {
  static const char* const kTypes[] = {
      "proc",     "sysfs",       "tmpfs",    "devtmpfs", "devpts", "ramfs",      "overlay",
      "aufs",     "squashfs",    "iso9660",  "udf",      "cgroup", "cgroup2",    "debugfs",
      "tracefs",  "securityfs",  "configfs", "pstore",   "bpf",    "mqueue",     "hugetlbfs",
      "autofs",   "binfmt_misc", "efivarfs", "fusectl",  "nsfs",   "rpc_pipefs", "nfs",
      "nfs4",     "cifs",        "smb3",     "smbfs",    "9p",     "ceph",       "glusterfs",
      "virtiofs", "afs",         "fuse",     "fuseblk",  "sshfs"};
  if (type.compare(0, 5, "fuse.") == 0) return true;
  for (const char* known : kTypes)
    if (type == known) return true;
  return false;
}

bool HasOption(const std::string& options, const std::string& option) {
  std::istringstream list(options);
  std::string item;
  while (std::getline(list, item, ','))
    if (item == option) return true;
  return false;
}

std::string ResolvePath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The resolved /sys/devices/... folder of a mount's block device.
std::string BlockDeviceFolder(const MountEntry& mount, const std::string& sysfs) {
  std::string device = ResolvePath(mount.source);
  if (device.empty()) device = mount.source;
  const std::string name = device.substr(device.rfind('/') + 1);
  std::string folder = name.empty() ? std::string() : ResolvePath(sysfs + "/class/block/" + name);
  if (folder.empty()) folder = ResolvePath(sysfs + "/dev/block/" + mount.majorMinor);
  return folder;
}

bool IsFixedDrive(const MountEntry& mount, const std::string& sysfs) {
  if (IsPseudoOrNetworkFileSystem(mount.fsType) || mount.source.compare(0, 5, "/dev/") != 0)
    return false;
  if (HasOption(mount.options, "ro")) return false;
  if (!IsDirectory(FromUtf8(mount.mountPoint))) return false;  // a bind-mounted file
  const std::string folder = BlockDeviceFolder(mount, sysfs);
  if (folder.empty() || folder.find("/usb") != std::string::npos) return false;
  const bool isPartition = !machine_files::ReadTrimmedFirstLine(folder + "/partition").empty();
  const std::string disk = isPartition ? folder.substr(0, folder.rfind('/')) : folder;
  return machine_files::ReadTrimmedFirstLine(disk + "/removable") == "0";
}

struct ForcedDrive {
  std::string root;  // ends in "/"
  bool hasFreeBytes = false;
  uint64_t freeBytes = 0;
};

std::vector<ForcedDrive> ForcedDriveList(bool* forced) {
  std::vector<ForcedDrive> drives;
  const char* value = std::getenv("VORNIK_FIXED_DRIVES");
  *forced = value != nullptr;
  if (!value) return drives;
  std::istringstream list(value);
  std::string item;
  while (std::getline(list, item, ':')) {
    ForcedDrive drive;
    const size_t equals = item.rfind('=');
    if (equals != std::string::npos) {
      const std::string digits = item.substr(equals + 1);
      char* end = nullptr;
      const unsigned long long bytes = std::strtoull(digits.c_str(), &end, 10);
      if (!digits.empty() && end != nullptr && *end == '\0') {
        drive.hasFreeBytes = true;
        drive.freeBytes = bytes;
        item.resize(equals);
      }
    }
    if (item.empty()) continue;
    drive.root = WithTrailingSlash(item);
    drives.push_back(drive);
  }
  return drives;
}

std::vector<std::string> ForcedFixedDrives(bool* forced) {
  std::vector<std::string> roots;
  for (const ForcedDrive& drive : ForcedDriveList(forced)) roots.push_back(drive.root);
  return roots;
}

bool IsUnderRoot(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

// path without its root: "/mnt/d/x" under "/mnt/d/" is "x"; "/mnt/d" is "".
std::wstring PathBelowRoot(const std::wstring& path, const std::wstring& root) {
  if (path.compare(0, root.size(), root) == 0) return path.substr(root.size());
  if (path + L"/" == root) return std::wstring();
  return path;  // a relative path: nothing to cut
}

}  // namespace

std::wstring GetDriveRoot(const std::wstring& path) {
  const std::string text = ToUtf8(path);
  std::vector<std::string> candidates;
  for (const MountEntry& mount : machine_files::ReadMountTable())
    candidates.push_back(mount.mountPoint);
  bool forced = false;
  for (std::string root : ForcedFixedDrives(&forced)) {
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    candidates.push_back(root);
  }
  std::string best = "/";
  for (const std::string& candidate : candidates)
    if (IsUnderRoot(text, candidate) && candidate.size() > best.size()) best = candidate;
  return FromUtf8(WithTrailingSlash(best));
}

std::vector<std::wstring> GetFixedDriveRoots() {
  bool forced = false;
  std::vector<std::string> roots = ForcedFixedDrives(&forced);
  if (!forced) {
    const std::string sysfs = machine_files::SysfsRoot();
    for (const MountEntry& mount : machine_files::ReadMountTable())
      if (IsFixedDrive(mount, sysfs)) roots.push_back(WithTrailingSlash(mount.mountPoint));
  }
  std::vector<std::wstring> result;
  for (const std::string& root : roots) {
    const std::wstring wide = FromUtf8(root);
    bool seen = false;
    for (const std::wstring& earlier : result) seen = seen || earlier == wide;
    if (!seen) result.push_back(wide);
  }
  return result;
}

bool GetFreeBytesForCaller(const std::wstring& path, uint64_t* freeBytes) {
  if (freeBytes == nullptr) return false;
  const std::string text = ToUtf8(path);
  bool forced = false;
  const ForcedDrive* holder = nullptr;
  const std::vector<ForcedDrive> drives = ForcedDriveList(&forced);
  for (const ForcedDrive& drive : drives) {
    std::string root = drive.root;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (IsUnderRoot(text, root) && (holder == nullptr || drive.root.size() > holder->root.size()))
      holder = &drive;
  }
  // A forced drive answers only for paths that exist, as the real query does.
  struct statvfs info {};
  if (statvfs(text.c_str(), &info) != 0) return false;
  if (holder != nullptr && holder->hasFreeBytes) {
    *freeBytes = holder->freeBytes;
    return true;
  }
  *freeBytes = static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
  return true;
}

std::wstring MovePathToRoomiestDrive(const std::wstring& path) {
  const std::wstring ownRoot = GetDriveRoot(path);
  std::wstring bestRoot = ownRoot;
  uint64_t bestFree = 0;
  for (const std::wstring& root : GetFixedDriveRoots()) {
    uint64_t freeBytes = 0;
    if (GetFreeBytesForCaller(root, &freeBytes) && freeBytes > bestFree) {
      bestRoot = root;
      bestFree = freeBytes;
    }
  }
  return bestRoot + PathBelowRoot(path, ownRoot);
}

}  // namespace platform
