// Drives are mount points here: "the drive of a path" is the mount point that
// holds it (longest match in /proc/self/mountinfo, compared as text, with the
// kernel's octal escapes such as "\040" undone). A fixed drive is a writable
// mount, on a folder, of a /dev/ block device whose disk (a partition counts as
// its disk) has /sys/class/block/<disk>/removable 0 and whose resolved
// /sys/devices path does not pass through "/usb"; pseudo, network, FUSE and
// read-only mounts are not fixed drives. Everything is read anew at every
// call. Any thread.
//
// Tests redirect the machine state with environment variables:
// - VORNIK_FIXED_DRIVES: folders separated by ":", each standing for the root
//   of one fixed drive; when set (even empty) it replaces the detection, and
//   its folders also count as mount points for GetDriveRoot. A folder may
//   carry "=BYTES" ("/tmp/d=1000"): the free bytes reported for every path on
//   that drive, so that tests of the drive choice do not depend on the free
//   space of a real file system that other processes change meanwhile.
// - VORNIK_MOUNTINFO: a file read instead of /proc/self/mountinfo.
// - VORNIK_SYSFS_ROOT: a folder read instead of /sys.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Mount point that holds path (ending in "/"), "/" when nothing better is known.
std::wstring GetDriveRoot(const std::wstring& path);
// Roots (ending in "/") of the fixed, non-USB drives, in mount order.
std::vector<std::wstring> GetFixedDriveRoots();
// Bytes free for the caller. False when the query fails.
bool GetFreeBytesForCaller(const std::wstring& path, uint64_t* freeBytes);
// Replaces the drive root of path by the root of the fixed non-USB drive with
// the most bytes free; a drive must beat the best so far strictly, the path's
// own root starting at 0 bytes.
std::wstring MovePathToRoomiestDrive(const std::wstring& path);

}  // namespace platform
