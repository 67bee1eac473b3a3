#include "platform/Paths.h"

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/Encoding.h"
#include "platform/Environment.h"

namespace platform {
namespace {

using environment::GetEnv;
using environment::HomeFolder;

std::mutex g_modulePathMutex;
std::wstring g_modulePathForTesting;

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ReadOwnExecutable() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

bool IsUsableRuntimeFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && path[0] == '/' && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::wstring GetModuleFilePath() {
  {
    std::lock_guard<std::mutex> lock(g_modulePathMutex);
    if (!g_modulePathForTesting.empty()) return g_modulePathForTesting;
  }
  static const std::wstring real = FromUtf8(ReadOwnExecutable());
  return real;
}

std::wstring GetModuleFolder() {
  const std::wstring path = GetModuleFilePath();
  const std::size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? std::wstring(L"./") : path.substr(0, slash + 1);
}

void SetModuleFilePathForTesting(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(g_modulePathMutex);
  g_modulePathForTesting = path;
}

std::wstring GetAppDataFolder() {
  std::string folder = GetEnv("APPDATA");
  if (folder.empty()) folder = GetEnv("XDG_DATA_HOME");
  if (folder.empty()) folder = StripTrailingSlashes(HomeFolder()) + "/.local/share";
  return FromUtf8(StripTrailingSlashes(folder));
}

std::wstring GetTempFolder() {
  std::string folder = GetEnv("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  folder = StripTrailingSlashes(folder);
  if (folder.back() != '/') folder.push_back('/');
  return FromUtf8(folder);
}

std::wstring GetRuntimeFolder() {
  const std::string folder = StripTrailingSlashes(GetEnv("XDG_RUNTIME_DIR"));
  return FromUtf8(IsUsableRuntimeFolder(folder) ? folder : std::string("/tmp"));
}

bool CreateDirectories(const std::wstring& path) {
  const std::string target = ToUtf8(path);
  if (target.empty()) return false;
  // Walk each "/" after the first character so that "/a/b" makes "/a" then "/a/b".
  for (std::size_t slash = target.find('/', 1); slash != std::string::npos;
       slash = target.find('/', slash + 1)) {
    if (target[slash - 1] == '/') continue;
    mkdir(target.substr(0, slash).c_str(), 0755);  // failures show in the final check
  }
  mkdir(target.c_str(), 0755);
  return IsDirectory(path);
}

bool PathExists(const std::wstring& path) {
  struct stat st {};
  return lstat(ToUtf8(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::wstring& path) {
  struct stat st {};
  return stat(ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MarkExecutable(const std::wstring& path) {
  const std::string narrow = ToUtf8(path);
  struct stat st {};
  if (stat(narrow.c_str(), &st) != 0) return false;
  return chmod(narrow.c_str(), (st.st_mode & 07777) | S_IXUSR) == 0;
}

bool DeleteFile(const std::wstring& path, uint32_t* lastError) {
  const bool removed = ::unlink(ToUtf8(path).c_str()) == 0;
  if (lastError != nullptr) {
    const int error = removed ? 0 : errno;
    *lastError = error == 0                                               ? 0
                 : (error == ENOENT || error == ENOTDIR)                  ? 2
                 : (error == EACCES || error == EPERM || error == EISDIR) ? 5
                                                                          : 31;
  }
  return removed;
}

std::wstring SanitizeFileNamePart(const std::wstring& name) {
  std::wstring out = name;
  for (wchar_t& c : out) {
    const bool keep = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                      (c >= L'0' && c <= L'9') || c == L'_' || c == L'.' || c == L'-';
    if (!keep) c = L'_';
  }
  return out;
}

}  // namespace platform
