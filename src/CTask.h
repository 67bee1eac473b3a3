// CTask: one byte-range slice of a download.
//
// Slices are made on the heap by the task manager (generated or read from
// the task file) and owned by it. While a slice is handed to a worker, that
// worker alone writes its TaskStatus, DownloadedPos, RequestTimes and
// CdnStatus; the driver reads TaskStatus, DownloadedPos and RequestTimes at
// any moment (hence atomic) and CdnStatus only once the worker is idle again.
// Every other field is set before the slice is handed out and only read
// afterwards.
//
// Offsets are signed 64-bit file offsets. StartPos is the slice's first byte;
// EndPos its last byte, except that the last slice of a download ends at the
// file's length itself (one past its last byte), so that it also takes the
// remainder of the division. DownloadedPos is the offset of the next byte to
// write, and equals EndPos exactly when the slice is complete.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

// Values of CTask::TaskStatus.
enum EnumTaskStatus : int32_t {
  TaskTodo = 0,        // created, not yet handed out
  TaskDone = 1,        // complete: DownloadedPos equals EndPos
  TaskFailed = 2,      // an attempt ended without completing the slice
  TaskDispatched = 3,  // handed to a worker
};

class CTask {
 public:
  CTask() = default;  // every number 0, every text empty, state TaskTodo
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  // True when DownloadedPos has reached EndPos.
  bool IsComplete() const;

  std::atomic<int32_t> TaskStatus{TaskTodo};
  std::atomic<int32_t> TaskId{0};  // 1-based; slice i starts at (i - 1) x slice size
  int32_t LogFlag = 0;             // not 0: the slice's progress is logged
  std::string RemotePath;          // URL of the whole remote file
  std::string LocalPath;           // the shared local file
  std::string CdnProbeStatus;      // "X-Cache" value seen by the length query, or empty
  std::string CdnStatus;           // Cloudflare values of the range responses, or empty
  int64_t StartPos = 0;
  int64_t EndPos = 0;
  std::atomic<int64_t> DownloadedPos{0};
  int64_t ContentLength = 0;             // length of the whole remote file; 0 when unknown
  std::atomic<int32_t> RequestTimes{0};  // failed attempts since creation or loading
};
