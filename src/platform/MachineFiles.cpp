#include "platform/MachineFiles.h"

#include <fstream>
#include <sstream>

#include "platform/Environment.h"

namespace platform {
namespace machine_files {
namespace {

using environment::GetEnv;

std::string MountInfoPath() {
  const std::string forced = GetEnv("VORNIK_MOUNTINFO");
  return forced.empty() ? std::string("/proc/self/mountinfo") : forced;
}

// Undoes the kernel's octal escapes in mountinfo fields ("\040" is a blank).
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

}  // namespace

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

std::string SysfsRoot() {
  std::string root = GetEnv("VORNIK_SYSFS_ROOT");
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root.empty() ? std::string("/sys") : root;
}

std::string ReadTrimmedFirstLine(const std::string& path, std::size_t maxBytes) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  char c;
  while (line.size() < maxBytes && file.get(c) && c != '\n') line.push_back(c);
  const std::size_t first = line.find_first_not_of(" \t\r\v\f");
  if (first == std::string::npos) return std::string();
  return line.substr(first, line.find_last_not_of(" \t\r\v\f") - first + 1);
}

}  // namespace machine_files
}  // namespace platform
