#include "CThreadManager.h"

#include <algorithm>

#include "CDownloadThread.h"
#include "Logging.h"

CThreadManager::CThreadManager() {
  if (!writeMutex_.Create(kDownloadWriteMutexName, false, nullptr)) {
    LOG(INFO) << " create mutex_for_downloadthread failed";
  }
}

CThreadManager::~CThreadManager() { releaseThreads(); }

int CThreadManager::createThreads(int count) {
  for (int i = 0; i < count; ++i) addThread(std::make_unique<CThread>(writeMutex()));
  return static_cast<int>(threads_.size());
}

void CThreadManager::addThread(std::unique_ptr<CThread> worker) {
  worker->setActivitySignal(activity_);
  if (worker->init() != 1) return;
  free_.push_back(worker.get());
  threads_.push_back(std::move(worker));
}

CThread* CThreadManager::getOneFreeThreads() {
  if (free_.empty()) {
    LOG(INFO) << "is no free threads";
    return nullptr;
  }
  CThread* worker = free_.back();
  free_.pop_back();
  return worker;
}

int CThreadManager::giveTaskToAThreadTodo(CTask* task) {
  CThread* worker = getOneFreeThreads();
  if (worker == nullptr) {
    LOG(INFO) << "get free thread is null" << (task != nullptr ? task->TaskId.load() : 0);
    return 0;
  }
  worker->doTask(task);
  busy_.push_back(worker);
  return 1;
}

int CThreadManager::reclaimFreeThreads() {
  auto idle = [](CThread* worker) { return worker->threadState() == ThreadIdle; };
  auto split = std::stable_partition(busy_.begin(), busy_.end(),
                                     [&idle](CThread* worker) { return !idle(worker); });
  free_.insert(free_.end(), split, busy_.end());
  busy_.erase(split, busy_.end());
  return 1;
}

int CThreadManager::stopThreads() {
  for (CThread* worker : free_) worker->requestQuit();
  LOG(INFO) << " start wait threads exit";
  for (const auto& worker : threads_) worker->waitForExit(stopWaitMs_);
  LOG(INFO) << " end wait threads exit";
  return 1;
}

void CThreadManager::releaseThreads() {
  for (const auto& worker : threads_) worker->requestQuit();
  threads_.clear();  // each worker waits for its thread as it is destroyed
  free_.clear();
  busy_.clear();
}
