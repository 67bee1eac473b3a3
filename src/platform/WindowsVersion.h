// The Windows version queries. There is no Windows version on Linux, so both
// fail (the first failure logs why, once) unless the environment variable
// VORNIK_WINDOWS_VERSION stands in a Windows machine:
//   "major.minor[.build][,option]..."   e.g. "10.0.19045", "6.3.9600,server"
// options: "server" (product type server instead of workstation), "r2" (the
// R2 server release metric is set), "x86" (the processor is not x64),
// "win9x" (the Windows 9x platform instead of NT). A text of another form
// counts as unset. Both queries then answer from the same text, as a program
// whose manifest declares every Windows version would see them.
// Any thread; the variable is read at every call.
#pragma once
#include <cstdint>

namespace platform {

constexpr uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

struct WindowsVersionInfo {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = kPlatformWin32Nt;
  bool workstation = true;   // product type VER_NT_WORKSTATION
  bool x64Processor = true;  // native processor architecture AMD64
  bool serverR2 = false;     // GetSystemMetrics(SM_SERVERR2) != 0
};

// RtlGetNtVersionNumbers stand-in. Out pointers may be null.
bool GetNtVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* build);
// GetVersionEx (OSVERSIONINFOEX) with the processor architecture and the R2
// metric folded in.
bool GetWindowsVersionInfo(WindowsVersionInfo* info);

}  // namespace platform
