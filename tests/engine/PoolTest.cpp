// The worker pool: its size rule, handing tasks only to idle workers, the
// one attempt per slice, stopping, and opening the shared local file (kept,
// created, refused, or freed from a program that runs it).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CDownloadThread.h"
#include "CDownloadThreadManager.h"
#include "CDownloader.h"
#include "CThreadManager.h"
#include "EngineTestSupport.h"
#include "platform/Encoding.h"
#include "platform/Processes.h"

namespace engine_test {
namespace {

namespace fs = std::filesystem;

TEST(WorkerCountTest, ProcessorsTimesEightFifthsAtLeastFour) {
  const struct {
    unsigned processors;
    int workers;
  } cases[] = {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 6}, {5, 8}, {8, 12}, {16, 25}, {64, 102}};
  for (const auto& row : cases) {
    EXPECT_EQ(WorkerCountForProcessors(row.processors), row.workers) << row.processors;
  }
  EXPECT_GE(DefaultWorkerCount(), 4);
}

// Lets the workers' tasks end when the test says so.
class Gate {
 public:
  // The worker that entered its task last; null before.
  CThread* Entered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entered_;
  }
  void Enter(CThread* worker) {
    std::lock_guard<std::mutex> lock(mutex_);
    entered_ = worker;
    opened_.notify_all();
  }
  CThread* WaitForEntry() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return entered_ != nullptr; });
    return entered_;
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  void Pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
  CThread* entered_ = nullptr;
};

class GateWorker : public CThread {
 public:
  GateWorker(platform::NamedMutex* mutex, Gate* gate) : CThread(mutex), gate_(gate) {}
  ~GateWorker() override { quitAndJoin(); }
  int taskBusiness() override {
    gate_->Enter(this);
    gate_->Pass();
    currentTask()->TaskStatus = TaskDone;
    return 1;
  }

 private:
  Gate* gate_;
};

class GatePool : public CThreadManager {
 public:
  explicit GatePool(Gate* gate) : gate_(gate) {}
  int createThreads(int count) override {
    for (int i = 0; i < count; ++i) addThread(std::make_unique<GateWorker>(writeMutex(), gate_));
    return static_cast<int>(threadCount());
  }

 private:
  Gate* gate_;
};

class ThreadPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 8; ++i) {
      tasks_.push_back(std::make_unique<CTask>());
      tasks_.back()->TaskId = i + 1;
    }
    pool_.setActivitySignal(&activity_);
  }
  // Waits until the pool has reclaimed count idle workers.
  bool ReclaimUntilFree(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    uint64_t seen = activity_.Generation();
    for (;;) {
      pool_.reclaimFreeThreads();
      if (pool_.freeCount() >= count) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      seen = activity_.WaitAfter(seen, 100);
    }
  }

  testing_support::TestEnvironment env_;
  LogRecorder log_;
  Gate gate_;
  ActivitySignal activity_;
  std::vector<std::unique_ptr<CTask>> tasks_;
  GatePool pool_{&gate_};
};

TEST_F(ThreadPoolTest, HandsTasksOnlyToIdleWorkersAndTakesThemBackWhenDone) {
  ASSERT_EQ(pool_.createThreads(8), 8);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pool_.giveTaskToAThreadTodo(tasks_[i].get()), 1);
  EXPECT_EQ(pool_.busyCount(), 5u);
  EXPECT_EQ(pool_.freeCount(), 3u);
  for (int i = 5; i < 8; ++i) EXPECT_EQ(pool_.giveTaskToAThreadTodo(tasks_[i].get()), 1);

  EXPECT_EQ(pool_.giveTaskToAThreadTodo(tasks_[6].get()), 0);
  EXPECT_TRUE(log_.Contains("is no free threads"));
  EXPECT_TRUE(log_.Contains("get free thread is null7"));
  pool_.reclaimFreeThreads();
  EXPECT_EQ(pool_.freeCount(), 0u) << "a worker still in its task is not idle";

  gate_.Open();
  ASSERT_TRUE(ReclaimUntilFree(8));
  EXPECT_EQ(pool_.busyCount(), 0u);
  for (const auto& task : tasks_) EXPECT_EQ(task->TaskStatus.load(), TaskDone);

  pool_.setStopWaitMs(20000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pool_.stopThreads(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(log_.Contains(" start wait threads exit"));
  EXPECT_TRUE(log_.Contains(" end wait threads exit"));
}

TEST_F(ThreadPoolTest, AQuitRequestedDuringATaskIsKept) {
  ASSERT_EQ(pool_.createThreads(2), 2);
  ASSERT_EQ(pool_.giveTaskToAThreadTodo(tasks_[0].get()), 1);
  CThread* busy = gate_.WaitForEntry();
  std::thread releaser([this] { pool_.releaseThreads(); });
  // The worker is told to quit while its task still runs.
  ASSERT_TRUE(testing_support::WaitUntil([busy] { return busy->threadState() == ThreadQuit; }));
  gate_.Open();
  releaser.join();
  EXPECT_EQ(pool_.threadCount(), 0u);
  EXPECT_EQ(tasks_[0]->TaskStatus.load(), TaskDone);
}

// ---- Download workers on the shared file --------------------------------------

class DownloadPoolTest : public EngineTest {
 protected:
  // A slice of the served file, handed to one worker of pool.
  CTask* Slice(int64_t start, int64_t downloaded, int64_t end, int64_t length) {
    tasks_.push_back(std::make_unique<CTask>());
    CTask* task = tasks_.back().get();
    task->TaskId = static_cast<int32_t>(tasks_.size());
    task->RemotePath = server_->Url(kPath);
    task->StartPos = start;
    task->DownloadedPos = downloaded;
    task->EndPos = end;
    task->ContentLength = length;
    return task;
  }
  // Hands task to a worker and waits for the worker to be idle again.
  void RunOnce(CDownloadThreadManager* pool, CTask* task) {
    ActivitySignal& activity = activity_;
    uint64_t seen = activity.Generation();
    ASSERT_EQ(pool->giveTaskToAThreadTodo(task), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (pool->busyCount() != 0 && std::chrono::steady_clock::now() < deadline) {
      seen = activity.WaitAfter(seen, 100);
      pool->reclaimFreeThreads();
    }
    ASSERT_EQ(pool->busyCount(), 0u);
  }

  ActivitySignal activity_;
  std::vector<std::unique_ptr<CTask>> tasks_;
};

TEST_F(DownloadPoolTest, EachTaskGetsExactlyOneAttempt) {
  const std::string bytes = Noise(100000);
  Serve(bytes);
  CDownloadThreadManager pool(LocalPath());
  pool.setActivitySignal(&activity_);
  ASSERT_EQ(pool.createThreads(2), 2);

  CTask* complete = Slice(0, 49999, 49999, 100000);
  RunOnce(&pool, complete);
  EXPECT_EQ(complete->TaskStatus.load(), TaskDone);
  EXPECT_TRUE(server_->Exchanges().empty()) << "a complete slice needs no request";

  CTask* whole = Slice(50000, 50000, 100000, 100000);
  RunOnce(&pool, whole);
  EXPECT_EQ(whole->TaskStatus.load(), TaskDone);
  EXPECT_EQ(whole->RequestTimes.load(), 0);

  server_->AddRule(localserver::Rule::For("GET", kPath, localserver::Fault::DropAfter(1000)));
  CTask* dropped = Slice(0, 0, 49999, 100000);
  RunOnce(&pool, dropped);
  EXPECT_EQ(dropped->TaskStatus.load(), TaskFailed);
  EXPECT_EQ(dropped->RequestTimes.load(), 1);
  EXPECT_EQ(dropped->DownloadedPos.load(), 1000);
  ASSERT_TRUE(server_->WaitForExchanges(2, 10000));
  EXPECT_EQ(server_->Exchanges().size(), 2u) << "a failed attempt is not retried by the worker";

  pool.releaseThreads();
  pool.closeSharedFile();
  EXPECT_EQ(LocalBytes().substr(50000), bytes.substr(50000));
  EXPECT_EQ(LocalBytes().substr(0, 1000), bytes.substr(0, 1000));
}

TEST_F(DownloadPoolTest, KeepsAnExistingFileAndCreatesAMissingOne) {
  testing_support::WriteFile(LocalPath(), "bytes of an earlier attempt");
  {
    CDownloadThreadManager pool(LocalPath());
    EXPECT_EQ(pool.createThreads(3), 3);
    EXPECT_EQ(pool.threadCount(), 3u);
    EXPECT_TRUE(log_.Contains(" Create threads and init: 3"));
  }
  EXPECT_EQ(LocalBytes(), "bytes of an earlier attempt");

  const std::string fresh = env_.Drive() + "/fresh.exe";
  CDownloadThreadManager pool(fresh);
  EXPECT_EQ(pool.createThreads(1), 1);
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_EQ(fs::file_size(fresh), 0u);
}

TEST_F(DownloadPoolTest, AFileThatCannotBeOpenedStartsNoWorker) {
  CDownloadThreadManager pool(env_.Drive() + "/missing folder/lumaclear_setup.exe");
  EXPECT_EQ(pool.createThreads(4), -1);
  EXPECT_EQ(pool.threadCount(), 0u);
  EXPECT_TRUE(log_.Contains("local file is NULL error code = 3"));
  EXPECT_TRUE(log_.Contains("after kill local file is NULL error code = 3"));
  EXPECT_TRUE(report_.HasEvent("Other", "OpenFileErrCode", "3"));
}

TEST_F(DownloadPoolTest, AFileBusyBecauseAProgramRunsItIsFreedAndOpened) {
  fs::copy_file("/bin/sleep", LocalPath());
  fs::permissions(LocalPath(), fs::perms::owner_all);
  platform::ProcessHandle child;
  ASSERT_TRUE(platform::CreateProcess(L"\"" + platform::FromUtf8(LocalPath()) + L"\" 60", L"",
                                      &child, nullptr));
  // The program runs from the file once its executable is the file.
  const std::string running =
      fs::canonical(fs::path(env_.Drive())).string() + "/lumaclear_setup.exe";
  ASSERT_TRUE(testing_support::WaitUntil([&child, &running] {
    std::wstring path;
    return platform::GetProcessModulePath(child, 4096, &path) > 0 &&
           platform::ToUtf8(path) == running;
  }));

  CDownloadThreadManager pool(LocalPath());
  EXPECT_EQ(pool.createThreads(2), 2);
  EXPECT_TRUE(log_.Contains("local file is NULL error code = 32"));
  EXPECT_FALSE(log_.Contains("after kill local file is NULL error code = 32"));
  EXPECT_TRUE(platform::WaitForProcess(child, 10000)) << "the program was ended";
}

}  // namespace
}  // namespace engine_test
