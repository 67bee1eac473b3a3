// CTaskManager: the list operations through which a download's driver takes
// slices (CTask) and puts them back, and EnumErrorCode, the result codes of
// the whole download engine.
//
// A task manager owns its slices; the pointers that these operations pass
// around stay valid until the manager clears or dies. The operations are not
// thread-safe: one thread at a time drives a manager (see the subclass).
#pragma once
#include <cstdint>

class CTask;

// Results of the download engine's steps; no value crosses a module boundary
// as an exception. 0, 4, 5 and 14 are never produced by the engine (the
// install flow uses 14 for a missing download address).
enum EnumErrorCode : int32_t {
  DOWNLOAD_OK = 1,
  DOWNLOAD_LENGTH_CHANGED = 2,       // the remote length differs from the task file's
  DOWNLOAD_TASKS_BROKEN = 3,         // the task file's slices do not chain
  DOWNLOAD_NO_LENGTH = 6,            // the remote length could not be obtained
  DOWNLOAD_OPEN_FILE_FAILED = 7,     // the local file could not be opened
  DOWNLOAD_NO_THREADS = 8,           // no worker thread could be started
  DOWNLOAD_NETWORK_DOWN = 9,         // the system reports no network
  DOWNLOAD_NO_SPEED = 10,            // no byte arrived within the stall limit
  DOWNLOAD_CDN_FAILED = 11,          // too many failed slice attempts on a CDN address
  DOWNLOAD_LENGTH_SHORT = 12,        // fewer bytes downloaded than the remote length
  DOWNLOAD_TOO_MANY_REDIRECTS = 13,  // the length query ended in too many redirects
  DOWNLOAD_FILE_TOO_SMALL = 15,      // the main download's file is smaller than 1 MiB
};

class CTaskManager {
 public:
  virtual ~CTaskManager() = default;

  // The first slice waiting for a worker, now marked TaskDispatched and moved
  // to the dispatched-or-done list; null when none waits.
  virtual CTask* getTask() = 0;
  // Appends one of the manager's slices to the to-do list; 0 for null, else 1.
  virtual int addTodoTask(CTask* task) = 0;
  // Appends one of the manager's slices to the dispatched-or-done list; 0 for
  // null, else 1.
  virtual int addDoneTask(CTask* task) = 0;
};
