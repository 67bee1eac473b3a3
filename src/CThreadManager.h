// CThreadManager: a pool of CThread workers that hands tasks to idle ones.
//
// Threads: one owner thread (the download's driver) calls everything here
// and alone changes the free and busy lists; workers only change their own
// state, which reclaimFreeThreads reads. The pool owns its workers: they live
// until releaseThreads or the destructor, which stop them and wait for them.
//
// The write mutex is the process-wide named mutex "mutex_for_downloadthread"
// (kDownloadWriteMutexName): every pool of the process, and any other process
// that opens the name, shares it, so all slice writes are serialised.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "CThread.h"
#include "platform/NamedMutex.h"

class CThreadManager {
 public:
  // How long stopThreads waits for each worker.
  static constexpr uint32_t kDefaultStopWaitMs = 30000;

  // Opens the write mutex (not owned); a failure is logged and leaves the
  // pool without one, so that every write of its workers is refused.
  CThreadManager();
  virtual ~CThreadManager();  // releaseThreads
  CThreadManager(const CThreadManager&) = delete;
  CThreadManager& operator=(const CThreadManager&) = delete;

  // Creates and starts count workers; returns the number started. Here plain
  // CThread workers that do nothing.
  virtual int createThreads(int count);

  // Removes and returns the last idle worker; null (logged "is no free
  // threads") when there is none.
  CThread* getOneFreeThreads();
  // 1 when task was given to an idle worker, 0 (logged) when none is idle.
  int giveTaskToAThreadTodo(CTask* task);
  // Moves every busy worker that is idle again to the free list; always 1.
  int reclaimFreeThreads();
  // Tells every free worker to quit and waits for each worker in start order,
  // at most stopWaitMs each; always 1. Busy workers are expected to have
  // been reclaimed first.
  int stopThreads();
  // Stops every worker (busy ones after their current task), waits for all
  // without limit, deletes them and empties the lists. Workers never outlive
  // the pool's file and mutex this way.
  void releaseThreads();

  size_t freeCount() const { return free_.size(); }
  size_t busyCount() const { return busy_.size(); }
  // Workers started and not yet released ("thread handles").
  size_t threadCount() const { return threads_.size(); }

  // Each worker created afterwards notifies signal (may be null) when it
  // becomes idle or ends.
  void setActivitySignal(ActivitySignal* signal) { activity_ = signal; }
  void setStopWaitMs(uint32_t ms) { stopWaitMs_ = ms; }
  platform::NamedMutex* writeMutex() { return writeMutex_.IsOpen() ? &writeMutex_ : nullptr; }

 protected:
  // Starts worker; when it runs, appends it to the free list and keeps it.
  void addThread(std::unique_ptr<CThread> worker);

 private:
  platform::NamedMutex writeMutex_;
  std::vector<std::unique_ptr<CThread>> threads_;
  std::vector<CThread*> free_;
  std::vector<CThread*> busy_;
  ActivitySignal* activity_ = nullptr;
  uint32_t stopWaitMs_ = kDefaultStopWaitMs;
};
