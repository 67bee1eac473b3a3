#include "platform/CrashMutexRelease.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/PublishedText.h"
#include "platform/SignalSafeIo.h"

namespace platform {
namespace {

PublishedText* const g_lockFolder = new PublishedText;

// The lock file's path as NamedMutex.h names it:
// "<runtime folder>/vornik-mutex-<name with [^A-Za-z0-9_.-] as '_'>.lock".
void LockFilePath(const char* name, signalsafe::Text* path) {
  path->Append(g_lockFolder->Get()).Append("/vornik-mutex-");
  for (const char* c = name; *c != '\0'; ++c) {
    const bool kept = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') ||
                      (*c >= '0' && *c <= '9') || *c == '_' || *c == '.' || *c == '-';
    path->Append(kept ? c : "_", 1);
  }
  path->Append(".lock");
}

// The descriptor open on path; -1 when none is.
int FindDescriptor(const char* path) {
  static char entries[4096];
  static char link[PATH_MAX];
  static char target[PATH_MAX];
  const int folder = signalsafe::Open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (folder < 0) return -1;
  int found = -1;
  for (;;) {
    const long bytes = syscall(SYS_getdents64, folder, entries, sizeof entries);
    if (bytes <= 0) break;
    for (long at = 0; at < bytes && found < 0;) {
      const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
      at += entry->d_reclen;
      if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
      signalsafe::Text linkPath(link, sizeof link);
      linkPath.Append("/proc/self/fd/").Append(entry->d_name);
      const long length = signalsafe::ReadLink(link, target, sizeof target - 1);
      if (length <= 0) continue;
      target[length] = '\0';
      if (!signalsafe::Equal(target, path)) continue;
      int fd = 0;
      for (const char* c = entry->d_name; *c != '\0'; ++c) fd = fd * 10 + (*c - '0');
      if (fd != folder) found = fd;
    }
    if (found >= 0) break;
  }
  signalsafe::Close(folder);
  return found;
}

}  // namespace

void PrepareCrashMutexRelease() {
  const std::string folder = ToUtf8(GetRuntimeFolder());
  char resolved[PATH_MAX];
  g_lockFolder->Set(realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : folder);
}

CrashMutexRelease ReleaseNamedMutexFromCrash(const char* name) {
  static char pathBuffer[PATH_MAX];
  signalsafe::Text path(pathBuffer, sizeof pathBuffer);
  LockFilePath(name, &path);
  CrashMutexRelease result;
  const int fd = path.Truncated() ? -1 : FindDescriptor(path.Get());
  if (fd < 0) {
    result.releaseError = result.closeError = EBADF;
    return result;
  }
  result.released = syscall(SYS_flock, fd, LOCK_UN) == 0;
  result.releaseError = result.released ? 0 : errno;
  result.closed = signalsafe::Close(fd) == 0;
  result.closeError = result.closed ? 0 : errno;
  return result;
}

}  // namespace platform
