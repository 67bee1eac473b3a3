// The version resource stand-in. Only the program's own executable carries
// one: the version numbers the build compiles in (the CMake project version)
// and fixed product texts. Every other file has none. Any thread.
//
// "The program's own file" is the file GetModuleFilePath() names (so tests
// that stand in another module path move it): the same file by device and
// inode, which covers links to it, or the same path text when either cannot
// be examined.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// VS_FIXEDFILEINFO's file version, four 16-bit parts.
struct FileVersionNumbers {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t patch = 0;
  uint16_t tweak = 0;
};

// The string table of the first translation.
struct FileVersionStrings {
  std::wstring productName;
  std::wstring productVersion;  // "1.0.0.1"
  std::wstring legalCopyright;
  std::wstring fileDescription;
};

// False when the file carries no version resource.
bool GetFileVersionNumbers(const std::wstring& path, FileVersionNumbers* version);
bool GetFileVersionStrings(const std::wstring& path, FileVersionStrings* strings);

}  // namespace platform
