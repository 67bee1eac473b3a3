// CDownloadThreadManager: the worker pool of one download. It opens the local
// file that all its workers write into and creates CDownloadThread workers.
//
// Threads: as CThreadManager; one owner thread (the driver) calls everything.
// The shared file is opened by createThreads and closed by closeSharedFile or
// the destructor, never while a worker may still write (the destructor stops
// the workers first).
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "CThreadManager.h"
#include "platform/SharedFile.h"

class CDownloadThreadManager : public CThreadManager {
 public:
  // localPath: UTF-8 path of the local file; its folder must exist.
  explicit CDownloadThreadManager(const std::string& localPath);
  ~CDownloadThreadManager() override;  // releaseThreads, then closes the file
  CDownloadThreadManager(const CDownloadThreadManager&) = delete;
  CDownloadThreadManager& operator=(const CDownloadThreadManager&) = delete;

  // Opens the local file (an existing file is kept as it is, a missing one is
  // created empty) and starts count download workers on it. Returns the
  // number started, or -1 when the file cannot be opened (logged, event
  // "Other"/"OpenFileErrCode"/code). A file that is busy because a program
  // runs from it (sharing violation) is freed by ending every process that
  // runs it, and opened once more.
  int createThreads(int count) override;

  platform::SharedFile* sharedFile() { return file_.IsOpen() ? &file_ : nullptr; }
  // Makes every byte written so far survive the end of the process, under the
  // write mutex. False when the file is not open.
  bool flushSharedFile();
  // Flushes and closes the file. Call only once no worker is busy.
  void closeSharedFile();
  // Makes every running transfer end soon (failed, to be resumed later).
  // Any thread; cannot be undone for this pool.
  void abandonTransfers() { abandon_.store(true); }

 private:
  bool openLocalFile(uint32_t* errorCode);

  std::string localPath_;
  platform::SharedFile file_;
  std::atomic<bool> abandon_{false};
};
