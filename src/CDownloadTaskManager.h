// CDownloadTaskManager: one download's slices. It asks the server for the
// remote file's length, cuts the file into byte-range slices (CTask), keeps
// them in three lists while the download runs, saves them to the task file
// beside the local file, and on the next attempt reloads and validates that
// file so that an interrupted download resumes instead of starting over.
//
// Threads: one thread drives a manager at a time. The preparing thread calls
// loadDownloadTask once, before any worker exists; afterwards only the
// download's driver thread calls getTask, the add operations, saveTaskFile
// and clearTasks. Workers touch nothing here but their own slice's
// TaskStatus, DownloadedPos, RequestTimes and CdnStatus.
//
// Blocking: getContentLength runs HEAD probes (each up to 30 s, one per
// redirect hop it resolves); generateDownloadTask makes up to 10 length
// queries with a 100 ms pause after each failed one; loadDownloadTask may do
// either. The list operations and saveTaskFile do not touch the network.
//
// Saving without claiming unwritten bytes: the task file records, per slice,
// how far the local file holds its bytes (DownloadedPos). saveTaskFile first
// reads every slice's DownloadedPos, then runs the save barrier, then writes
// the file (to a temporary file renamed over the old one, so a reader sees
// the old or the new file, never a mix). The driver must set the barrier to
// flush the shared local file under the write mutex (FlushSharedFile of
// CDownloadThread.h) as soon as the pool has opened that file, and clear it
// before the file is closed. Because positions are read before the flush,
// every byte the file claims has been handed to the system before the file
// exists: a process killed at any moment leaves a task file that claims no
// byte the local file lacks. A barrier that fails skips the save.
//
// Events go through CSingleUserLog: "Other"/"Download"/<probe results> when
// a report tag is given, "Download"/"3.CDNStatus" for CDN headers seen by the
// length query, "Other"/"FlowError"/"DL025" (remote length differs) and
// "DL026" (slices broken) when a task file is refused, and the funnel event
// "Download"/"ResumUpload" when a saved download resumes. Telemetry never
// changes a result.
#pragma once
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CTask.h"
#include "CTaskManager.h"

class CDownloadTaskManager : public CTaskManager {
 public:
  // Bytes per slice when the configuration publishes neither Slice_num nor
  // Slice_size.
  static constexpr int64_t kDefaultSliceSize = 4194304;
  // Length queries made by generateDownloadTask before it gives up.
  static constexpr int kLengthQueries = 10;
  // HEAD probes one length query makes while it follows redirects.
  static constexpr int kMaxProbes = 10;
  // Most slices one download is cut into; a larger file gets larger slices.
  static constexpr int64_t kMaxSlices = 16384;
  // Largest task file read; a larger one is treated as unreadable.
  static constexpr int64_t kMaxTaskFileBytes = 32 << 20;

  // Called by saveTaskFile between reading the slices' positions and writing
  // the file; false skips the save. Runs on the thread that saves.
  using SaveBarrier = std::function<bool()>;

  // url: the download address; localPath: the file the slices are written
  // into; taskFilePath: its task file (localPath + ".xml" in the engine). All
  // UTF-8. No I/O here.
  CDownloadTaskManager(std::string url, std::string localPath, std::string taskFilePath);
  ~CDownloadTaskManager() override;  // deletes the slices
  CDownloadTaskManager(const CDownloadTaskManager&) = delete;
  CDownloadTaskManager& operator=(const CDownloadTaskManager&) = delete;

  // ---- Preparing (before the workers start) ---------------------------------

  // Resumes from the task file when it exists and passes checkLoadedTasks;
  // otherwise deletes the local file and the task file (when there was one)
  // and cuts the remote file anew. DOWNLOAD_OK (1), DOWNLOAD_NO_LENGTH (6) or
  // DOWNLOAD_TOO_MANY_REDIRECTS (13). reportTag: "Download" in the engine; a
  // non-empty tag reports the length queries. logFlag: 1 main download (its
  // slices log their progress), 0 side download.
  EnumErrorCode loadDownloadTask(const std::string& reportTag, int logFlag);

  // Queries the remote length (up to kLengthQueries times) and cuts the file
  // into slices by the configuration's Slice_num or Slice_size, read now:
  // Slice_num > 0 gives that many slices of length / Slice_num bytes (at
  // most one slice per byte); otherwise slices of Slice_size bytes, or
  // kDefaultSliceSize when it is not positive. The last slice takes the rest
  // and ends at the length itself. Without a length no slice is made and
  // nothing on disk changes: DOWNLOAD_NO_LENGTH, or
  // DOWNLOAD_TOO_MANY_REDIRECTS when the last query ended in too many
  // redirects. Adds to the lists; call on an empty manager.
  EnumErrorCode generateDownloadTask(const std::string& reportTag, int logFlag);

  // Reads the task file into the lists: the length, the accumulated download
  // time and every slice, in file order. Slices saved as done go to the
  // dispatched-or-done list, all others (to-do, dispatched, failed) to the
  // to-do list, to continue from their saved DownloadedPos; RequestTimes
  // starts at 0. A missing, unreadable, oversized or malformed file yields
  // what could be read (often nothing); checkLoadedTasks judges it. Returns
  // true only when no slice named its state (never for files this class
  // writes, which is how loadDownloadTask recognises a resume).
  bool loadTaskFromFile(int logFlag);

  // Judges what loadTaskFromFile read. 1 sound; 2 the remote file's length,
  // asked now, differs from the recorded one ("DL025"); 3 the slices are
  // broken ("DL026"): they must start at 0, follow each other without gap or
  // overlap in equal sizes (TaskId i starting at (i - 1) x slice size), the
  // last one ending at the length; each DownloadedPos lies within its slice,
  // a done slice is complete, the count matches TasksCount, and the local
  // file is long enough for every byte the slices claim. A length query that
  // gets no answer refuses nothing: a network failure must not throw a
  // download's progress away, and the transfers check the length again.
  // A length recorded for the address being downloaded answers without a
  // request and is remembered in the length cache once the file passes.
  int checkLoadedTasks(int logFlag);

  // The remote file's length, 0 when unknown (not a positive number). An
  // answer in the length cache (keyed by the address) is returned without a
  // request. Otherwise HEAD probes the address, following redirects one hop
  // per probe: a Location is resolved against the address that sent it and
  // becomes this manager's address, so slices made afterwards download
  // straight from the final one. *lastCode receives the last probe's result
  // (CURLE_TOO_MANY_REDIRECTS also when kMaxProbes probes did not reach the
  // end of the chain); *cdnProbeStatus the "X-Cache" value seen, emptied
  // when the answer is not 200 or came from the cache (left as it was when
  // nothing was seen). A found length is stored in the cache.
  int64_t getContentLength(CURLcode* lastCode, std::string* cdnProbeStatus, int logFlag);

  // ---- The task file ---------------------------------------------------------

  // Writes the task file (see the class comment for the order of reading,
  // barrier and writing). 1 written; 0 skipped (barrier failed, or the file
  // could not be written, leaving the previous file in place). The download
  // carries on either way, without fresh resume data.
  int saveTaskFile();
  // True when the task file can be opened for reading.
  bool taskFileExists() const;
  // Replaces the barrier; an empty function means none (nothing to flush).
  void setSaveBarrier(SaveBarrier barrier);

  // ---- Lists (the driver's thread) -------------------------------------------

  CTask* getTask() override;
  int addTodoTask(CTask* task) override;
  int addDoneTask(CTask* task) override;
  // Takes the slice: appends it to all tasks, then to the dispatched-or-done
  // list when its state is TaskDone, else to the to-do list. 0 for null.
  int addTask(std::unique_ptr<CTask> task);
  // Deletes every slice, empties the lists, sets the slice count to 0.
  void clearTasks();

  // Every slice, in creation or file order.
  const std::vector<std::unique_ptr<CTask>>& allTasks() const { return allTasks_; }
  // Slices waiting for a worker, in order.
  const std::deque<CTask*>& todoTasks() const { return todoTasks_; }
  // Slices handed to workers, and slices already complete when loaded.
  const std::vector<CTask*>& dispatchedTasks() const { return dispatchedTasks_; }

  int32_t sliceCount() const { return sliceCount_; }
  // Bytes per slice (the last one takes the rest): as cut, or as found in a
  // task file that passed checkLoadedTasks; kDefaultSliceSize before either.
  int64_t sliceSize() const { return sliceSize_; }
  int64_t contentLength() const { return contentLength_; }
  // Milliseconds spent downloading over every attempt, saved in the task
  // file; advanced by the driver.
  int64_t downloadTime() const { return downloadTime_; }
  void setDownloadTime(int64_t milliseconds) { downloadTime_ = milliseconds; }
  // The download address; a redirect target once getContentLength met one.
  const std::string& url() const { return url_; }
  const std::string& localPath() const { return localPath_; }
  const std::string& taskFilePath() const { return taskFilePath_; }

  // The pause after a failed length query (100 ms); tests shorten it.
  void setQueryPauseForTesting(std::chrono::milliseconds pause) { queryPause_ = pause; }

 private:
  bool slicesAreSound() const;
  bool localFileHoldsClaimedBytes() const;
  void rememberLoadedLengths() const;
  void cutIntoSlices(int64_t length, const std::string& cdnProbeStatus, int logFlag);
  void logListSizes(const char* what) const;

  std::string url_;
  std::string localPath_;
  std::string taskFilePath_;
  int64_t contentLength_ = 0;
  int64_t downloadTime_ = 0;
  int64_t sliceSize_ = kDefaultSliceSize;
  int32_t sliceCount_ = 0;
  std::vector<std::unique_ptr<CTask>> allTasks_;
  std::deque<CTask*> todoTasks_;
  std::vector<CTask*> dispatchedTasks_;
  SaveBarrier saveBarrier_;
  std::chrono::milliseconds queryPause_{100};
};
