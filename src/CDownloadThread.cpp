#include "CDownloadThread.h"

#include <cstdint>

#include "Logging.h"

DownloadWriteLock::DownloadWriteLock(platform::NamedMutex* mutex)
    : mutex_(mutex), owned_(mutex != nullptr && mutex->Wait(UINT32_MAX)) {}

DownloadWriteLock::~DownloadWriteLock() {
  if (owned_) mutex_->Release();
}

bool FlushSharedFile(platform::NamedMutex* writeMutex, platform::SharedFile* file) {
  DownloadWriteLock lock(writeMutex);
  return lock.owned() && file != nullptr && file->Flush();
}

CDownloadThread::CDownloadThread(platform::NamedMutex* writeMutex, platform::SharedFile* sharedFile,
                                 const std::atomic<bool>* abandon)
    : CThread(writeMutex), sharedFile_(sharedFile), abandon_(abandon) {
  if (!tool_.hasHandle()) LOG(INFO) << "  m_pCurl init error !!!";
}

CDownloadThread::~CDownloadThread() { quitAndJoin(); }

int CDownloadThread::taskBusiness() {
  CTask* task = currentTask();
  if (task == nullptr) return 1;
  if (task->DownloadedPos.load() == task->EndPos) {
    task->TaskStatus = TaskDone;
    return 1;
  }
  const CURLcode result =
      tool_.httpDownloadContent(task->RemotePath, task->DownloadedPos.load(), task->EndPos, this);
  if (result == CURLE_OK && task->DownloadedPos.load() == task->EndPos) {
    task->TaskStatus = TaskDone;
    if (task->LogFlag != 0) {
      LOG(INFO) << " Tasks info, download success(" << static_cast<int>(result)
                << "), id = " << task->TaskId.load() << ", reqTime = " << task->RequestTimes.load();
    }
    return 1;
  }
  task->RequestTimes.fetch_add(1);
  task->TaskStatus = TaskFailed;
  if (task->LogFlag != 0) {
    LOG(INFO) << " Tasks info, download fail(" << static_cast<int>(result)
              << "), id = " << task->TaskId.load() << ", reqTime = " << task->RequestTimes.load();
  }
  return 1;
}
