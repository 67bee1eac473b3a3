#include "platform/WindowsVersion.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "Logging.h"

namespace platform {
namespace {

bool ParseNumber(const std::string& text, uint32_t* number) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  *number = value;
  return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool ParseVersionNumbers(const std::string& text, WindowsVersionInfo* info) {
  const std::vector<std::string> parts = Split(text, '.');
  if (parts.size() < 2 || parts.size() > 3) return false;
  return ParseNumber(parts[0], &info->major) && ParseNumber(parts[1], &info->minor) &&
         (parts.size() == 2 || ParseNumber(parts[2], &info->build));
}

bool ApplyOption(const std::string& option, WindowsVersionInfo* info) {
  if (option == "server") {
    info->workstation = false;
  } else if (option == "r2") {
    info->serverR2 = true;
  } else if (option == "x86") {
    info->x64Processor = false;
  } else if (option == "win9x") {
    info->platformId = kPlatformWin32Windows;
  } else {
    return false;
  }
  return true;
}

bool ForcedVersion(WindowsVersionInfo* info) {
  const char* forced = std::getenv("VORNIK_WINDOWS_VERSION");
  if (forced != nullptr) {
    const std::vector<std::string> fields = Split(forced, ',');
    WindowsVersionInfo parsed;
    bool valid = ParseVersionNumbers(fields[0], &parsed);
    for (std::size_t i = 1; valid && i < fields.size(); ++i)
      valid = ApplyOption(fields[i], &parsed);
    if (valid) {
      *info = parsed;
      return true;
    }
  }
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    LOG(INFO) << " platform: this is not Windows; the Windows version queries are unavailable";
  return false;
}

}  // namespace

bool GetNtVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* build) {
  WindowsVersionInfo info;
  if (!ForcedVersion(&info)) return false;
  if (major) *major = info.major;
  if (minor) *minor = info.minor;
  if (build) *build = info.build;
  return true;
}

bool GetWindowsVersionInfo(WindowsVersionInfo* info) {
  WindowsVersionInfo forced;
  if (info == nullptr || !ForcedVersion(&forced)) return false;
  *info = forced;
  return true;
}

}  // namespace platform
