// The Linux distribution and kernel this program runs on: the stand-ins for
// the Windows name and version. Any thread; files are read at every call.
//
// Tests redirect them with environment variables:
// - VORNIK_OS_RELEASE: a file read instead of /etc/os-release (and of its
//   fallback /usr/lib/os-release).
// - VORNIK_UNAME_RELEASE: the kernel release text instead of uname's.
#pragma once
#include <string>

namespace platform {

// The fields of os-release, UTF-8 (invalid bytes become U+FFFD); a field the
// file lacks is empty.
struct OsRelease {
  std::string prettyName;  // PRETTY_NAME
  std::string name;        // NAME
  std::string versionId;   // VERSION_ID
};

// False when no os-release file can be read. Lines are KEY=value; a value may
// be quoted with "..." (where \" \\ \$ \` are escapes) or '...'; comments,
// blank lines and malformed lines are skipped; the last assignment of a key
// counts. Only the first 64 KiB of the file are read.
bool ReadOsRelease(OsRelease* release);

// uname's release ("6.1.0-18-amd64"); "" when unavailable.
std::string GetKernelRelease();

}  // namespace platform
