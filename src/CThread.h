// CThread: a long-lived worker thread that sleeps on its wake-up event until
// it is given a task, runs it with taskBusiness, and goes back to sleep.
//
// Threads: the owner (the pool, on the download's driver thread) calls init,
// doTask, requestQuit and waitForExit; the worker's own thread runs
// taskBusiness. The state is atomic and may be read by anyone: 2 idle, 1 busy,
// 0 quit. A worker is handed a task only while idle; it returns to idle once
// taskBusiness has returned, and a quit request made while it is busy is kept
// (the worker leaves after the task instead of going back to idle).
//
// The current task belongs to the owner; the worker uses it from doTask until
// it is idle again.
//
// A derived worker must call quitAndJoin() first in its destructor, so that
// the thread never runs taskBusiness on a half-destroyed object.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "CTask.h"
#include "platform/NamedMutex.h"
#include "platform/ThreadHandle.h"

enum EnumThreadState : int32_t {
  ThreadQuit = 0,
  ThreadBusy = 1,
  ThreadIdle = 2,
};

// An auto-reset event: one Signal releases one Wait, and a signal sent while
// nobody waits is kept for the next Wait. Any thread.
class AutoResetEvent {
 public:
  void Signal();
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

// Tells a waiting thread that something it watches has changed (a worker
// finished a task, the driver published progress, a state was set), so that
// it need not poll. Notify from any thread; WaitAfter from any thread.
class ActivitySignal {
 public:
  void Notify();
  // The number of notifications so far.
  uint64_t Generation();
  // Blocks until the generation differs from seen or timeoutMs passes;
  // returns the generation then.
  uint64_t WaitAfter(uint64_t seen, uint32_t timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t generation_ = 0;
};

class CThread {
 public:
  // writeMutex: the pool's write mutex, owned by the pool; may be null for
  // workers that write nothing.
  explicit CThread(platform::NamedMutex* writeMutex);
  virtual ~CThread();  // quitAndJoin
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // Starts the thread; 1 when it runs, 0 when it could not be started (logged).
  int init();
  // Hands task to an idle worker and wakes it; always 1.
  int doTask(CTask* task);
  // Runs the current task on the worker's thread; always 1. Does nothing here.
  virtual int taskBusiness();

  int32_t threadState() const { return state_.load(); }
  bool isStarted() const { return thread_.IsSet(); }
  // Sets the state to quit and wakes the worker. A busy worker leaves after
  // its current task.
  void requestQuit();
  // True when the thread has ended (or never started) within timeoutMs; it
  // is then joined.
  bool waitForExit(uint32_t timeoutMs);
  // Every worker notifies this (may be null) each time it becomes idle or
  // leaves. Set before init.
  void setActivitySignal(ActivitySignal* signal) { activity_ = signal; }

  platform::NamedMutex* writeMutex() const { return writeMutex_; }
  // The task being run; null before the first one.
  CTask* currentTask() const { return currentTask_.load(); }
  void setCurrentTask(CTask* task) { currentTask_.store(task); }

 protected:
  // requestQuit, then waits for the thread without limit.
  void quitAndJoin();

 private:
  void threadFunc();

  platform::NamedMutex* writeMutex_;
  std::atomic<int32_t> state_{ThreadIdle};
  std::atomic<CTask*> currentTask_{nullptr};
  AutoResetEvent wakeUp_;
  ActivitySignal* activity_ = nullptr;
  platform::ThreadHandle thread_;
};
