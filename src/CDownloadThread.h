// CDownloadThread: a download worker. Each worker is a CThread that runs one
// attempt per slice it is given (taskBusiness) with a transfer tool of its
// own, whose libcurl handle keeps the worker's connections from slice to
// slice. The worker is the user pointer of both libcurl callbacks of a range
// download: they write the current slice's bytes into the shared file under
// the write mutex and keep what they learn about the response in
// rangeResponse().
//
// Threads: a worker's members are used by its own thread while it runs a
// slice; the owner sets the current slice before waking it (doTask). While a
// slice runs, the worker alone writes its TaskStatus, DownloadedPos,
// RequestTimes and CdnStatus. The write mutex and the shared file belong to
// the pool and must outlive every worker.
#pragma once
#include <atomic>
#include <cstdint>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "CThread.h"
#include "platform/NamedMutex.h"
#include "platform/SharedFile.h"

// Serialises every write into a downloaded file, across all downloads of the
// process and across processes.
inline constexpr wchar_t kDownloadWriteMutexName[] = L"mutex_for_downloadthread";

// What the running range request has learned about its response. Reset by
// the range download before each request and kept by the callbacks; the
// body's bytes are placed by it, never by the slice's own bookkeeping, so a
// reply that is not the asked range can never land in the file.
struct RangeResponse {
  int64_t requestedFirst = 0;  // first byte the request asked for
  long status = 0;             // status of the latest response head; 0 before any
  int64_t rangeFirst = -1;     // first byte named by its Content-Range; -1 without
  int64_t rangeTotal = -1;     // total length named by its Content-Range; -1 without or "*"
  int64_t bodyBytes = 0;       // body bytes of that response received so far

  void Reset(int64_t first) { *this = RangeResponse{first}; }
};

class CDownloadThread : public CThread {
 public:
  // writeMutex: the open "mutex_for_downloadthread"; sharedFile: the open
  // local file; abandon (may be null): set once the download is being
  // stopped, which ends a running transfer within a second instead of at its
  // time-out. All stay owned by the caller. Makes the worker's transfer
  // tool; one without a libcurl handle is logged and fails every attempt
  // with CURLE_FAILED_INIT (2).
  CDownloadThread(platform::NamedMutex* writeMutex, platform::SharedFile* sharedFile,
                  const std::atomic<bool>* abandon = nullptr);
  ~CDownloadThread() override;  // stops and waits for the thread first
  CDownloadThread(const CDownloadThread&) = delete;
  CDownloadThread& operator=(const CDownloadThread&) = delete;

  // One attempt at the current slice, on the worker's thread: a slice that
  // is already complete becomes TaskDone without a request; otherwise the
  // range DownloadedPos..EndPos is asked for once, and the slice ends
  // TaskDone when complete, else TaskFailed with RequestTimes + 1. Always 1.
  int taskBusiness() override;

  platform::SharedFile* sharedFile() const { return sharedFile_; }
  // True once the download no longer wants the running transfer.
  bool transferAbandoned() const { return abandon_ != nullptr && abandon_->load(); }
  RangeResponse& rangeResponse() { return rangeResponse_; }

 private:
  platform::SharedFile* sharedFile_;
  const std::atomic<bool>* abandon_;
  RangeResponse rangeResponse_;
  CLibcurlTool tool_;
};

// Holds the write mutex for a scope, waiting without time limit. owned() is
// false only when the mutex could not be taken at all (its lock file broke).
class DownloadWriteLock {
 public:
  explicit DownloadWriteLock(platform::NamedMutex* mutex);
  ~DownloadWriteLock();
  DownloadWriteLock(const DownloadWriteLock&) = delete;
  DownloadWriteLock& operator=(const DownloadWriteLock&) = delete;
  bool owned() const { return owned_; }

 private:
  platform::NamedMutex* mutex_;
  bool owned_;
};

// Makes every byte that the workers wrote into file so far survive the end
// of the process, under the write mutex so that no write is half done. The
// task file must only claim written bytes: read the slices' DownloadedPos
// first, then call this, then write the task file. Any thread; false when
// the file is not open or the mutex cannot be taken.
bool FlushSharedFile(platform::NamedMutex* writeMutex, platform::SharedFile* file);
