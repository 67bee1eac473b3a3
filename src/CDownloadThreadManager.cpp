#include "CDownloadThreadManager.h"

#include <memory>
#include <string>

#include "CDownloadThread.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"

CDownloadThreadManager::CDownloadThreadManager(const std::string& localPath)
    : localPath_(localPath) {}

CDownloadThreadManager::~CDownloadThreadManager() {
  releaseThreads();
  closeSharedFile();
}

bool CDownloadThreadManager::openLocalFile(uint32_t* errorCode) {
  *errorCode = 0;
  return file_.Open(localPath_, errorCode);
}

int CDownloadThreadManager::createThreads(int count) {
  uint32_t code = 0;
  if (!openLocalFile(&code)) {
    LOG(INFO) << "local file is NULL error code = " << code;
    if (code == platform::kErrorSharingViolation) {
      FuntionImpl::FindProcessByFullPath(platform::FromUtf8(localPath_), true, true);
      openLocalFile(&code);
    }
  }
  if (!file_.IsOpen()) {
    LOG(INFO) << "after kill local file is NULL error code = " << code;
    CSingleUserLog::GetInstance()->AddUserLog("Other", "OpenFileErrCode",
                                              std::to_string(code).c_str());
    return -1;
  }
  LOG(INFO) << " Create threads and init: " << count;
  for (int i = 0; i < count; ++i) {
    addThread(std::make_unique<CDownloadThread>(writeMutex(), &file_, &abandon_));
  }
  return static_cast<int>(threadCount());
}

bool CDownloadThreadManager::flushSharedFile() {
  return file_.IsOpen() && FlushSharedFile(writeMutex(), &file_);
}

void CDownloadThreadManager::closeSharedFile() {
  if (!file_.IsOpen()) return;
  flushSharedFile();
  file_.Close();
}
