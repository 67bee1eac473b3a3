#include "platform/CrashDumpFile.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/SignalSafeIo.h"

namespace platform {

bool CrashDumpFile::Create(const char* path, int* error) {
  Close();
  signalsafe::Text finalPath(path_, sizeof path_);
  signalsafe::Text partPath(partPath_, sizeof partPath_);
  finalPath.Append(path);
  partPath.Append(path).Append(".part");
  if (finalPath.Truncated() || partPath.Truncated()) {
    *error = ENAMETOOLONG;
    return false;
  }
  fd_ = signalsafe::Open(partPath_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  *error = fd_ < 0 ? errno : 0;
  return fd_ >= 0;
}

bool CrashDumpFile::Close() {
  if (fd_ < 0) return false;
  const bool closed = signalsafe::Close(fd_) == 0;
  fd_ = -1;
  return signalsafe::Rename(partPath_, path_) == 0 && closed;
}

}  // namespace platform
