#include "platform/FileVersion.h"

#include <sys/stat.h>

#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace platform {
namespace {

bool IsOwnExecutable(const std::wstring& path) {
  const std::wstring own = GetModuleFilePath();
  if (path.empty() || own.empty()) return false;
  struct stat asked {};
  struct stat ours {};
  if (stat(ToUtf8(path).c_str(), &asked) == 0 && stat(ToUtf8(own).c_str(), &ours) == 0)
    return asked.st_dev == ours.st_dev && asked.st_ino == ours.st_ino;
  return path == own;
}

}  // namespace

bool GetFileVersionNumbers(const std::wstring& path, FileVersionNumbers* version) {
  if (version == nullptr || !IsOwnExecutable(path)) return false;
  version->major = VORNIK_VERSION_MAJOR;
  version->minor = VORNIK_VERSION_MINOR;
  version->patch = VORNIK_VERSION_PATCH;
  version->tweak = VORNIK_VERSION_TWEAK;
  return true;
}

bool GetFileVersionStrings(const std::wstring& path, FileVersionStrings* strings) {
  if (strings == nullptr || !IsOwnExecutable(path)) return false;
  strings->productName = L"Vornik Lumaclear Setup";
  strings->productVersion =
      std::to_wstring(VORNIK_VERSION_MAJOR) + L"." + std::to_wstring(VORNIK_VERSION_MINOR) + L"." +
      std::to_wstring(VORNIK_VERSION_PATCH) + L"." + std::to_wstring(VORNIK_VERSION_TWEAK);
  strings->legalCopyright = L"Copyright (C) Vornik";
  strings->fileDescription = L"Vornik Lumaclear web installer";
  return true;
}

}  // namespace platform
