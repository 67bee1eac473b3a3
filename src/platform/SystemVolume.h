// The system volume, the stand-in for the volume that holds the Windows
// folder: the file system mounted at "/". Any thread; read at every call.
//
// Its UUID is the name of the entry of /dev/disk/by-uuid whose link leads to
// the root mount's device: the same device name as the mount's source (with
// symbolic links such as /dev/mapper/* resolved), or a device whose
// <sysfs>/class/block/<name>/dev holds the mount's major:minor (for sources
// like "/dev/root"). The last mount of "/" in the mount table counts. A root
// without one (the overlay root of a container) falls back to the machine id
// of /etc/machine-id written as a UUID, so that such machines still have an
// identity.
//
// Tests redirect it with environment variables:
// - VORNIK_ROOT_FS_UUID: the UUID itself (empty: there is none);
// - VORNIK_DISK_BY_UUID: a folder read instead of /dev/disk/by-uuid;
// - VORNIK_MACHINE_ID: a file read instead of /etc/machine-id;
// - VORNIK_MOUNTINFO and VORNIK_SYSFS_ROOT as in Drives.h.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The UUID text as the by-uuid entry spells it ("1b6b8c38-...", "ABCD-1234"
// for FAT). False when it cannot be found.
bool GetSystemVolumeUuid(std::string* uuid);
// The volume serial: the first 32 bits of the UUID, its first eight
// hexadecimal digits ("-" skipped); for a FAT file system this is its serial
// number. False when there is no UUID or it does not start with eight
// hexadecimal digits.
bool GetSystemVolumeSerial(uint32_t* serial);

}  // namespace platform
