#include "CDownloader.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "CDownloadTaskManager.h"
#include "CDownloadThreadManager.h"
#include "Logging.h"
#include "platform/System.h"

namespace {

// An idle driver is woken by setState; this only bounds a missed wake-up.
constexpr uint32_t kIdleWaitMs = 100;
// Pause after the driver found every slice done, before it stops.
constexpr auto kFinishPause = std::chrono::milliseconds(100);

double PercentOf(int64_t downloaded, int64_t length) {
  if (length <= 0) return 0.0;
  const double tenThousandths = static_cast<double>(downloaded) / static_cast<double>(length) * 1e4;
  return static_cast<double>(static_cast<int64_t>(tenThousandths)) / 100.0;
}

}  // namespace

int WorkerCountForProcessors(unsigned processors) {
  return std::max(4, static_cast<int>(processors * 8 / 5));
}

int DefaultWorkerCount() { return WorkerCountForProcessors(std::thread::hardware_concurrency()); }

CDownloader::CDownloader(const std::string& url, const std::string& localPath,
                         const std::string& taskFilePath, int threadCount)
    : url_(url),
      localPath_(localPath),
      taskFilePath_(taskFilePath),
      threadCount_(threadCount),
      tasks_(std::make_unique<CDownloadTaskManager>(url, localPath, taskFilePath)),
      threads_(std::make_unique<CDownloadThreadManager>(localPath)) {
  threads_->setActivitySignal(&activity_);
  info_.tick = platform::GetTickCount();
  if (!driver_.Start([this] { downloaderThread(); })) {
    LOG(INFO) << " [Error]: "
              << "downloader thread not started";
  }
}

CDownloader::~CDownloader() { closeDownload(); }

EnumErrorCode CDownloader::downloadInit(const std::string& reportTag, int logFlag) {
  const EnumErrorCode loaded = tasks_->loadDownloadTask(reportTag, logFlag);
  if (loaded != DOWNLOAD_OK) {
    LOG(INFO) << " [Error]: "
              << "error to loadDownloadTask";
    return loaded;
  }
  contentLength_ = tasks_->contentLength();
  sliceCount_ = static_cast<int32_t>(tasks_->allTasks().size());
  const int started = threads_->createThreads(threadCount_);
  if (started == -1) return DOWNLOAD_OPEN_FILE_FAILED;
  if (started == 0) {
    LOG(INFO) << " [Error]: "
              << " createThreads is empty";
    return DOWNLOAD_NO_THREADS;
  }
  CDownloadThreadManager* pool = threads_.get();
  tasks_->setSaveBarrier([pool] { return pool->flushSharedFile(); });
  dispatched_ = false;
  return DOWNLOAD_OK;
}

void CDownloader::setState(int32_t state) {
  // A stalled transfer would otherwise hold the stop up until its time-out.
  if (state == DriverStopping) threads_->abandonTransfers();
  state_.store(state);
  activity_.Notify();
  progress_.Notify();
}

bool CDownloader::waitForDriver(uint32_t timeoutMs) { return driver_.Wait(timeoutMs); }

DownloadInfo CDownloader::downloadInfo() const {
  std::lock_guard<std::mutex> lock(infoMutex_);
  return info_;
}

uint64_t CDownloader::waitForProgress(uint64_t seen, uint32_t timeoutMs) {
  return progress_.WaitAfter(seen, timeoutMs);
}

void CDownloader::setWorkerStopWaitMs(uint32_t ms) { threads_->setStopWaitMs(ms); }

int CDownloader::updateDownloadInfo() {
  const uint32_t now = platform::GetTickCount();
  int64_t downloaded = 0;
  int32_t requestTimes = 0;
  for (const auto& task : tasks_->allTasks()) {
    downloaded += task->DownloadedPos.load() - task->StartPos + 1;
    requestTimes += task->RequestTimes.load();
  }
  {
    std::lock_guard<std::mutex> lock(infoMutex_);
    if (now == info_.tick) return 1;
    tasks_->setDownloadTime(tasks_->downloadTime() + static_cast<uint32_t>(now - info_.tick));
    DownloadInfo next;
    next.tick = now;
    next.downloaded = downloaded;
    next.elapsed = tasks_->downloadTime();
    next.percent = PercentOf(downloaded, tasks_->contentLength());
    next.requestTimes = requestTimes;
    info_ = next;
  }
  progress_.Notify();
  return 1;
}

void CDownloader::downloaderThread() {
  double checkpoint = 0.0;
  for (;;) {
    const uint64_t seen = activity_.Generation();
    const int32_t state = state_.load();
    if (state == DriverStopping) {
      if (threads_->busyCount() == 0) break;
      threads_->reclaimFreeThreads();
      updateDownloadInfo();
      // Draining: back at once when a worker finishes, never spinning.
      if (threads_->busyCount() != 0) activity_.WaitAfter(seen, passMs_);
    } else if (state == DriverRunning) {
      if (runningPass(&checkpoint)) activity_.WaitAfter(seen, passMs_);
    } else {
      activity_.WaitAfter(seen, kIdleWaitMs);
    }
  }
  if (anyTaskUnfinished()) {
    LOG(INFO) << " Stopping Download,"
              << "Mission Failed";
    saveTaskFile();
  }
  threads_->stopThreads();
  updateDownloadInfo();
  LOG(INFO) << " Stopping Download,"
            << "Update DownloadInfo";
  saveTaskFile();
  LOG(INFO) << " Download Stopped！";
  progress_.Notify();
}

// One pass of a running driver; false when it has just decided to stop.
bool CDownloader::runningPass(double* checkpoint) {
  if (downloadInfo().percent / 10.0 > *checkpoint) {
    *checkpoint += 1.0;
    saveTaskFile();
  }
  if (tasks_->todoTasks().empty() && allDispatchedDone() && threads_->busyCount() == 0) {
    int32_t running = DriverRunning;
    state_.compare_exchange_strong(running, DriverStopping);
    progress_.Notify();
    std::this_thread::sleep_for(kFinishPause);
    LOG(INFO) << " Download will stop";
    return false;
  }
  dispatched_ = true;
  threads_->reclaimFreeThreads();
  updateDownloadInfo();
  while (!tasks_->todoTasks().empty() && threads_->freeCount() > 0) {
    threads_->giveTaskToAThreadTodo(tasks_->getTask());
  }
  return true;
}

bool CDownloader::allDispatchedDone() const {
  const auto& dispatched = tasks_->dispatchedTasks();
  return std::all_of(dispatched.begin(), dispatched.end(),
                     [](const CTask* task) { return task->TaskStatus.load() == TaskDone; });
}

bool CDownloader::anyTaskUnfinished() const {
  const auto& all = tasks_->allTasks();
  return std::any_of(all.begin(), all.end(), [](const std::unique_ptr<CTask>& task) {
    return task->TaskStatus.load() != TaskDone;
  });
}

// A download that never got its slices has nothing to resume: an empty task
// file would only be refused by the next attempt.
void CDownloader::saveTaskFile() {
  if (!tasks_->allTasks().empty()) tasks_->saveTaskFile();
}

void CDownloader::stopDriver() {
  if (!driver_.IsSet()) return;
  if (state_.load() != DriverStopping) setState(DriverStopping);
  driver_.Wait(UINT32_MAX);
}

std::string CDownloader::getCdnSummary() {
  stopDriver();
  std::string probeStatus;
  std::string collected;
  for (const CTask* task : tasks_->dispatchedTasks()) {
    probeStatus = task->CdnProbeStatus;
    if (!task->CdnStatus.empty()) collected += task->CdnStatus + ";";
  }
  if (collected.empty()) return std::string();
  return "T(" + probeStatus + ");C(" + collected + ")";
}

int CDownloader::closeDownload() {
  stopDriver();
  threads_->releaseThreads();
  tasks_->setSaveBarrier(nullptr);
  threads_->closeSharedFile();
  tasks_->clearTasks();
  state_.store(DriverIdle);
  {
    std::lock_guard<std::mutex> lock(infoMutex_);
    info_.tick = platform::GetTickCount();
  }
  progress_.Notify();
  return 1;
}
