// An advisory lock on a file, shared between processes (flock on a separate
// lock file, so that the protected file itself can be replaced by rename).
// The kernel drops the lock when the holder dies. One FileLock object per
// holder; not for use by two threads at once. Within one process two
// FileLock objects on one path exclude each other as two processes would.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

class FileLock {
 public:
  explicit FileLock(std::wstring lockFilePath);
  ~FileLock();  // unlocks
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock without waiting; true when held afterwards.
  bool TryLock();
  // Waits up to timeoutMs (polling every 20 ms); true when held.
  bool Lock(uint32_t timeoutMs);
  void Unlock();
  bool Held() const { return fd_ >= 0; }

 private:
  std::wstring path_;
  int fd_ = -1;
};

// ExitProcess stand-in: flushes standard streams and ends the process at once
// with the code, without running static destructors or joining threads.
[[noreturn]] void ExitProcess(int code);

// Replaces path with content: writes a temporary file beside it, flushes it
// to disk and renames it over path, so a reader sees the old or the new
// content, never a mix. False when any step fails (the old file is kept).
bool WriteFileAtomically(const std::wstring& path, const std::string& content);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* content);

}  // namespace platform
