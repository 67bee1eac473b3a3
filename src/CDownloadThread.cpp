#include "CDownloadThread.h"

#include <cstdint>

DownloadWriteLock::DownloadWriteLock(platform::NamedMutex* mutex)
    : mutex_(mutex), owned_(mutex != nullptr && mutex->Wait(UINT32_MAX)) {}

DownloadWriteLock::~DownloadWriteLock() {
  if (owned_) mutex_->Release();
}

bool FlushSharedFile(platform::NamedMutex* writeMutex, platform::SharedFile* file) {
  DownloadWriteLock lock(writeMutex);
  return lock.owned() && file != nullptr && file->Flush();
}
