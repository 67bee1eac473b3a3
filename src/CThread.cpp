#include "CThread.h"

#include <cerrno>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>

#include "Logging.h"

namespace {

std::string CurrentThreadText() {
  std::ostringstream text;
  text << std::this_thread::get_id();
  return text.str();
}

}  // namespace

void AutoResetEvent::Signal() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = true;
  signalled_.notify_one();
}

void AutoResetEvent::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  signalled_.wait(lock, [this] { return set_; });
  set_ = false;
}

void ActivitySignal::Notify() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  changed_.notify_all();
}

uint64_t ActivitySignal::Generation() {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

uint64_t ActivitySignal::WaitAfter(uint64_t seen, uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [this, seen] { return generation_ != seen; });
  return generation_;
}

CThread::CThread(platform::NamedMutex* writeMutex) : writeMutex_(writeMutex) {}

CThread::~CThread() { quitAndJoin(); }

int CThread::init() {
  if (thread_.Start([this] { threadFunc(); })) return 1;
  LOG(INFO) << "  creat thread error code =  " << EAGAIN;
  return 0;
}

int CThread::doTask(CTask* task) {
  currentTask_.store(task);
  if (task != nullptr && task->LogFlag != 0) {
    LOG(INFO) << " Tasks info, download begin, id = " << task->TaskId.load()
              << ", task status = " << task->TaskStatus.load()
              << ", thread status = " << state_.load();
  }
  state_.store(ThreadBusy);
  wakeUp_.Signal();
  return 1;
}

int CThread::taskBusiness() { return 1; }

void CThread::requestQuit() {
  state_.store(ThreadQuit);
  wakeUp_.Signal();
}

bool CThread::waitForExit(uint32_t timeoutMs) { return thread_.Wait(timeoutMs); }

void CThread::quitAndJoin() {
  if (!thread_.IsSet()) return;
  requestQuit();
  thread_.Wait(UINT32_MAX);
}

void CThread::threadFunc() {
  const std::string id = CurrentThreadText();
  for (;;) {
    const int32_t state = state_.load();
    if (state == ThreadIdle) {
      LOG(INFO) << " wait before thread " << id;
      wakeUp_.Wait();
      LOG(INFO) << " wait after thread " << id;
    } else if (state == ThreadQuit) {
      break;
    } else if (state == ThreadBusy) {
      taskBusiness();
      int32_t busy = ThreadBusy;
      state_.compare_exchange_strong(busy, ThreadIdle);
      if (activity_ != nullptr) activity_->Notify();
    }
  }
  if (activity_ != nullptr) activity_->Notify();
}
