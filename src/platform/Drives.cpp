#include "platform/Drives.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace platform {
namespace {

struct MountEntry {
  std::string majorMinor;
  std::string mountPoint;  // decoded, no trailing "/" except for "/" itself
  std::string options;
  std::string fsType;
  std::string source;
};

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string MountInfoPath() {
  const std::string forced = GetEnv("VORNIK_MOUNTINFO");
  return forced.empty() ? std::string("/proc/self/mountinfo") : forced;
}

std::string SysfsRoot() {
  const std::string forced = GetEnv("VORNIK_SYSFS_ROOT");
  return forced.empty() ? std::string("/sys") : forced;
}

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

// Undoes the octal escapes the kernel writes for blanks, tabs, line feeds and
// backslashes in mountinfo fields ("\040" is a blank).
std::string DecodeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const bool octal = field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
                       field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
                       field[i + 3] >= '0' && field[i + 3] <= '7';
    if (!octal) {
      out.push_back(field[i]);
      continue;
    }
    out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                    (field[i + 3] - '0')));
    i += 3;
  }
  return out;
}

// "36 35 98:0 /root /mnt/point rw,noatime master:1 - ext3 /dev/sda1 rw"
bool ParseMountLine(const std::string& line, MountEntry* entry) {
  std::istringstream fields(line);
  std::string id, parent, root, field;
  if (!(fields >> id >> parent >> entry->majorMinor >> root >> entry->mountPoint >> entry->options))
    return false;
  while (fields >> field && field != "-") {
  }
  if (field != "-" || !(fields >> entry->fsType >> entry->source)) return false;
  entry->mountPoint = DecodeMountField(entry->mountPoint);
  entry->source = DecodeMountField(entry->source);
  while (entry->mountPoint.size() > 1 && entry->mountPoint.back() == '/')
    entry->mountPoint.pop_back();
  return !entry->mountPoint.empty() && entry->mountPoint[0] == '/';
}

std::vector<MountEntry> ReadMountTable() {
  std::vector<MountEntry> mounts;
  std::ifstream file(MountInfoPath());
  std::string line;
  while (std::getline(file, line)) {
    MountEntry entry;
    if (ParseMountLine(line, &entry)) mounts.push_back(entry);
  }
  return mounts;
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

std::string ReadFirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
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
  const bool isPartition = !ReadFirstLine(folder + "/partition").empty();
  const std::string disk = isPartition ? folder.substr(0, folder.rfind('/')) : folder;
  return ReadFirstLine(disk + "/removable") == "0";
}

std::vector<std::string> ForcedFixedDrives(bool* forced) {
  std::vector<std::string> roots;
  const char* value = std::getenv("VORNIK_FIXED_DRIVES");
  *forced = value != nullptr;
  if (!value) return roots;
  std::istringstream list(value);
  std::string item;
  while (std::getline(list, item, ':'))
    if (!item.empty()) roots.push_back(WithTrailingSlash(item));
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
  for (const MountEntry& mount : ReadMountTable()) candidates.push_back(mount.mountPoint);
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
    const std::string sysfs = SysfsRoot();
    for (const MountEntry& mount : ReadMountTable())
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
  struct statvfs info {};
  if (freeBytes == nullptr || statvfs(ToUtf8(path).c_str(), &info) != 0) return false;
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
