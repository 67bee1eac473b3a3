// CDownloader: one download of one remote file into one local file. Its
// results are the engine's EnumErrorCode (CTaskManager.h).
//
// A downloader owns the slices (CDownloadTaskManager) and the worker pool
// (CDownloadThreadManager), and runs a driver thread from construction on.
// While the state is running (1) the driver hands to-do slices to idle
// workers, keeps the progress record and saves the task file whenever
// progress passes another tenth; once every slice is done it sets the state
// to stopping (0) itself. In state 0 it waits for busy workers, stops the
// pool, saves the task file a last time and ends.
//
// Threads: one supervising thread creates the downloader, calls
// downloadInit, setState, downloadInfo, waitForProgress, waitForDriver,
// getCdnSummary and closeDownload; the driver thread and the workers do the
// rest. State and progress may be read at any time from any thread.
//
// Each slice is attempted at most once per download: failed slices stay
// failed until the next download of the same file resumes them from the task
// file. The task file never claims bytes the local file lacks: the shared
// file is flushed before every save.
//
// Waits are events, not polling: the driver sleeps until a worker finishes,
// the state changes or a short pass interval passes, and a supervisor can
// sleep on waitForProgress.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "CTaskManager.h"
#include "CThread.h"
#include "platform/ThreadHandle.h"

class CDownloadTaskManager;
class CDownloadThreadManager;

// Driver states.
enum EnumDriverState : int32_t {
  DriverStopping = 0,
  DriverRunning = 1,
  DriverIdle = 2,
};

// The progress record.
struct DownloadInfo {
  uint32_t tick = 0;         // tick count (ms) of the last update
  int64_t downloaded = 0;    // sum over all slices of DownloadedPos - StartPos + 1
  double percent = 0.0;      // downloaded / length, in hundredths of a percent, truncated
  int64_t elapsed = 0;       // accumulated download time in ms
  int32_t requestTimes = 0;  // failed attempts over all slices

  // Average bytes per second over the elapsed time; 0 when none elapsed.
  int64_t averageSpeed() const { return elapsed == 0 ? 0 : downloaded / elapsed * 1000; }
};

// The number of download workers for a machine with that many processors:
// processors x 8 / 5, at least 4.
int WorkerCountForProcessors(unsigned processors);
// The same for this machine.
int DefaultWorkerCount();

class CDownloader {
 public:
  // How long a supervisor waits for the driver to end, by default.
  static constexpr uint32_t kDefaultDriverWaitMs = 180000;
  // Longest pause of a running driver between two passes.
  static constexpr uint32_t kDefaultPassMs = 5;

  // Texts are UTF-8. Starts the driver thread, idle.
  CDownloader(const std::string& url, const std::string& localPath, const std::string& taskFilePath,
              int threadCount);
  // closeDownload.
  ~CDownloader();
  CDownloader(const CDownloader&) = delete;
  CDownloader& operator=(const CDownloader&) = delete;

  // Loads or generates the slices and starts the workers. DOWNLOAD_OK, the
  // task manager's failure (DOWNLOAD_NO_LENGTH, DOWNLOAD_TOO_MANY_REDIRECTS),
  // DOWNLOAD_OPEN_FILE_FAILED or DOWNLOAD_NO_THREADS. Blocks for the length
  // query. Call once, before setting the state to running.
  EnumErrorCode downloadInit(const std::string& reportTag, int logFlag);

  int32_t state() const { return state_.load(); }
  // DriverRunning after a successful downloadInit; DriverStopping to end.
  void setState(int32_t state);

  // True when the driver thread has ended within timeoutMs.
  bool waitForDriver(uint32_t timeoutMs);
  // The latest progress record.
  DownloadInfo downloadInfo() const;
  // Blocks until the progress record or the state changes after the
  // generation seen, or timeoutMs passes; returns the generation now. Start
  // with progressGeneration().
  uint64_t waitForProgress(uint64_t seen, uint32_t timeoutMs);
  uint64_t progressGeneration() { return progress_.Generation(); }

  // Recomputes the progress record from the slices; always 1. The driver's
  // business while it runs; a supervisor may call it once the driver ended.
  int updateDownloadInfo();
  // "T(<probe status>);C(<status>;<status>;...)" from the CDN statuses of the
  // slices handed out, or "" when none has one. Waits for the driver to end.
  std::string getCdnSummary();
  // Ends the download: waits for the driver (telling it to stop when it is
  // still running), stops and releases the workers, closes the local file and
  // frees the slices; the state is idle again. Always 1. Safe to repeat.
  int closeDownload();

  // True once the driver handed out a slice.
  bool dispatched() const { return dispatched_.load(); }
  // Length of the remote file; 0 before downloadInit.
  int64_t contentLength() const { return contentLength_.load(); }
  // Number of slices of the download; 0 before downloadInit.
  int32_t sliceCount() const { return sliceCount_.load(); }

  // Test hooks, before downloadInit: the wait of the pool for each worker at
  // its stop, and the longest pause between the driver's passes.
  void setWorkerStopWaitMs(uint32_t ms);
  void setPassMs(uint32_t ms) { passMs_ = ms; }

 private:
  void downloaderThread();
  bool runningPass(double* checkpoint);
  bool allDispatchedDone() const;
  bool anyTaskUnfinished() const;
  void saveTaskFile();
  void stopDriver();

  std::string url_;
  std::string localPath_;
  std::string taskFilePath_;
  int threadCount_;
  std::atomic<int32_t> state_{DriverIdle};
  std::atomic<bool> dispatched_{false};
  std::atomic<int64_t> contentLength_{0};
  std::atomic<int32_t> sliceCount_{0};
  uint32_t passMs_ = kDefaultPassMs;

  mutable std::mutex infoMutex_;
  DownloadInfo info_;
  ActivitySignal progress_;  // new record, new state
  ActivitySignal activity_;  // a worker became idle, new state

  std::unique_ptr<CDownloadTaskManager> tasks_;
  std::unique_ptr<CDownloadThreadManager> threads_;
  platform::ThreadHandle driver_;
};
