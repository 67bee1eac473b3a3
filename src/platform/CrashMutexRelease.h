// Releasing and closing a named mutex (NamedMutex.h) from inside a crash
// signal handler, where the mutex object and its locks cannot be touched:
// the lock file that the mutex holds with flock is found among the process's
// open descriptors by its path, unlocked and closed. Other threads of the
// process that still use the mutex object are not told; the process is
// ending.
#pragma once

namespace platform {

// Notes the folder of the lock files (GetRuntimeFolder, resolved). Ordinary code.
void PrepareCrashMutexRelease();

struct CrashMutexRelease {
  bool released = false;  // the lock was given up
  int releaseError = 0;   // errno of the release, 0 when it worked
  bool closed = false;
  int closeError = 0;
};

// The ReleaseMutex and CloseHandle of the mutex named name (ASCII; as the
// mutex names its lock file). Without an open lock file of that name both
// fail with EBADF, as with an invalid handle. Async-signal-safe.
CrashMutexRelease ReleaseNamedMutexFromCrash(const char* name);

}  // namespace platform
