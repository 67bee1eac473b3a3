// Readers of the kernel's machine-state files, with the redirections tests
// use. Internal to src/platform/; any thread; nothing is cached.
// - VORNIK_MOUNTINFO: a file read instead of /proc/self/mountinfo.
// - VORNIK_SYSFS_ROOT: a folder read instead of /sys.
#pragma once
#include <string>
#include <vector>

namespace platform {
namespace machine_files {

struct MountEntry {
  std::string majorMinor;  // "8:1"
  std::string mountPoint;  // decoded, no trailing "/" except for "/" itself
  std::string options;
  std::string fsType;
  std::string source;  // decoded: "/dev/sda1", "tmpfs", ...
};

// The mount table in kernel order; malformed lines are skipped, an unreadable
// file gives an empty table.
std::vector<MountEntry> ReadMountTable();
// $VORNIK_SYSFS_ROOT when set and not empty, else "/sys"; no trailing "/".
std::string SysfsRoot();
// The first line of a small file without its line end and with blanks at
// both ends removed; "" when unreadable. At most maxBytes are read.
std::string ReadTrimmedFirstLine(const std::string& path, std::size_t maxBytes = 4096);

}  // namespace machine_files
}  // namespace platform
