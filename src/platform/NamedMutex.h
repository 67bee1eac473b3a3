// Named mutexes ("ZEL_Downloader_127", "mutex_for_downloadthread").
//
// Across processes a name is a lock file in GetRuntimeFolder()
// ("vornik-mutex-<SanitizeFileNamePart(name)>.lock") held with flock while a
// thread of this process owns the mutex; the kernel releases it when the
// process dies. Inside one process the same name is the same mutex object
// (one open lock file, shared by every handle), so threads of one process
// wait for each other without touching the file. Every descriptor is
// close-on-exec, so started programs never inherit the lock.
//
// Handles may be used from any thread; ownership is per thread and recursive,
// as on Windows. A wait for a mutex held by another process polls the lock
// every 10 ms. A handle is one object: do not Create, Close or move it while
// another thread uses it. Nothing here is async-signal-safe: a crash handler
// need not release the mutex, the kernel drops the lock when the process dies.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class NamedMutexObject;

class NamedMutex {
 public:
  NamedMutex() = default;
  ~NamedMutex();  // releases ownership held by this handle, then closes
  NamedMutex(NamedMutex&&) noexcept;
  NamedMutex& operator=(NamedMutex&&) noexcept;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // CreateMutex: opens or creates the mutex (closing whatever this handle had
  // open). With initiallyOwned the calling thread tries to take it at once
  // without waiting. *alreadyExisted (may be null) is true when another handle
  // in this process has the mutex open or another process holds it; then this
  // handle does not take ownership, as on Windows. False only when the lock
  // file cannot be opened.
  bool Create(const std::wstring& name, bool initiallyOwned, bool* alreadyExisted);
  // WaitForSingleObject: true when owned before timeoutMs (UINT32_MAX waits
  // forever). Re-entering a mutex the calling thread owns succeeds at once.
  bool Wait(uint32_t timeoutMs);
  // ReleaseMutex: gives up one level of the calling thread's ownership; does
  // nothing when the calling thread does not own the mutex.
  void Release();
  // CloseHandle: first gives back every level of ownership taken through this
  // handle and not yet released (whichever thread calls), so a closed handle
  // never leaves the mutex held. Closing the last handle in the process closes
  // the lock file.
  void Close();
  bool IsOpen() const { return object_ != nullptr; }

 private:
  std::shared_ptr<NamedMutexObject> object_;
  int ownedCount_ = 0;            // levels taken through this handle, guarded by the object
  uint64_t ownedGeneration_ = 0;  // which ownership period of the object they belong to
};

}  // namespace platform
