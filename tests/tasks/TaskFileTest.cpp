// The task file: its exact format (kept files of each shape under
// tests/fixtures/tasks), the round trip of every field with 64-bit offsets,
// how loaded slices are sorted into the lists, the atomic replacement, and
// the save barrier that keeps the file from claiming unflushed bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "CDownloadThread.h"
#include "TasksTestSupport.h"
#include "platform/NamedMutex.h"
#include "platform/SharedFile.h"

namespace tasks_test {
namespace {

constexpr int64_t kGiB = 1LL << 30;

class TaskFileTest : public TasksTest {
 protected:
  // A manager as the kept files were written by.
  std::unique_ptr<CDownloadTaskManager> FixtureManager() const {
    return std::make_unique<CDownloadTaskManager>(kFixtureUrl, kFixtureLocalPath, TaskFilePath());
  }
  // A manager on the sandbox's files that reads the task file.
  std::unique_ptr<CDownloadTaskManager> Loaded(bool* noStates = nullptr) const {
    auto manager = Manager(kFixtureUrl);
    const bool result = manager->loadTaskFromFile(1);
    if (noStates) *noStates = result;
    return manager;
  }
  std::string SavedText() const { return testing_support::ReadFile(TaskFilePath()); }
};

// ---- The format -------------------------------------------------------------------

// Brings a fresh manager into the state that a kept file records.
struct Shape {
  const char* fixture;
  std::function<void(CDownloadTaskManager*)> build;
};

void Fresh10MiB(CDownloadTaskManager* manager) {
  KnowLength(kFixtureUrl, 10485760);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
}

// 1000 bytes in four slices: done, dispatched midway, failed midway, waiting.
void MidDownload(CDownloadTaskManager* manager) {
  SetSlicing(4, 0);
  KnowLength(kFixtureUrl, 1000);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  CTask* first = manager->getTask();
  CTask* second = manager->getTask();
  CTask* third = manager->getTask();
  first->DownloadedPos = first->EndPos;
  first->TaskStatus = TaskDone;
  second->DownloadedPos = 300;
  third->DownloadedPos = 600;
  third->TaskStatus = TaskFailed;
  third->RequestTimes = 1;
  manager->setDownloadTime(1234);
}

void Complete(CDownloadTaskManager* manager) {
  SetSlicing(4, 0);
  KnowLength(kFixtureUrl, 1000);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  while (CTask* task = manager->getTask()) {
    task->DownloadedPos = task->EndPos;
    task->TaskStatus = TaskDone;
  }
  manager->setDownloadTime(5678);
}

class TaskFileFormatTest : public TaskFileTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(TaskFileFormatTest, SavedFileEqualsTheKeptOne) {
  auto manager = FixtureManager();
  GetParam().build(manager.get());
  ASSERT_EQ(manager->saveTaskFile(), 1);
  EXPECT_EQ(SavedText(), Fixture(GetParam().fixture));
}

INSTANTIATE_TEST_SUITE_P(Shapes, TaskFileFormatTest,
                         ::testing::Values(Shape{"fresh.xml", Fresh10MiB},
                                           Shape{"resume.xml", MidDownload},
                                           Shape{"complete.xml", Complete}),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                           const std::string name = info.param.fixture;
                           return name.substr(0, name.find('.'));
                         });

// ---- Reading --------------------------------------------------------------------------

TEST_F(TaskFileTest, LoadedSlicesKeepTheirStatesAndWaitFromTheirSavedPositions) {
  WriteTaskFile(Fixture("resume.xml"));
  bool noStates = true;
  auto manager = Loaded(&noStates);
  EXPECT_FALSE(noStates);
  EXPECT_EQ(manager->contentLength(), 1000);
  EXPECT_EQ(manager->downloadTime(), 1234);
  EXPECT_EQ(manager->sliceCount(), 4);

  const auto& all = manager->allTasks();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(manager->dispatchedTasks(), std::vector<CTask*>{all[0].get()});
  ASSERT_EQ(manager->todoTasks().size(), 3u);
  struct Expected {
    int32_t id, status;
    int64_t downloaded;
  };
  const Expected waiting[] = {{2, TaskDispatched, 300}, {3, TaskFailed, 600}, {4, TaskTodo, 750}};
  for (size_t i = 0; i < 3; ++i) {
    const CTask& task = *manager->todoTasks()[i];
    EXPECT_EQ(task.TaskId, waiting[i].id);
    EXPECT_EQ(task.TaskStatus, waiting[i].status);
    EXPECT_EQ(task.DownloadedPos, waiting[i].downloaded);
  }
  for (const auto& task : all) {
    EXPECT_EQ(task->RequestTimes, 0);  // attempts count per download
    EXPECT_EQ(task->ContentLength, 1000);
    EXPECT_EQ(task->LogFlag, 1);
    EXPECT_EQ(task->RemotePath, kFixtureUrl);
    EXPECT_EQ(task->LocalPath, kFixtureLocalPath);
  }
  EXPECT_TRUE(log_.Contains(" Tasks info, load ok, total 4, todo 3, complete 1"));

  // The next worker resumes the dispatched slice where it stopped.
  CTask* next = manager->getTask();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->TaskId, 2);
  EXPECT_EQ(next->DownloadedPos, 300);
}

TEST_F(TaskFileTest, OnlyAFileWithoutSlicesStatesReadsAsNoStates) {
  std::string stateless = Fixture("fresh.xml");
  for (size_t at; (at = stateless.find("<TaskStatus>0</TaskStatus>")) != std::string::npos;) {
    stateless.erase(at, std::string("<TaskStatus>0</TaskStatus>").size());
  }
  WriteTaskFile(stateless);
  bool noStates = false;
  auto manager = Loaded(&noStates);
  EXPECT_TRUE(noStates);
  EXPECT_EQ(manager->allTasks().size(), 2u);
}

TEST_F(TaskFileTest, EveryFieldSurvivesTheRoundTripPast4GiB) {
  const int64_t length = 5 * kGiB + 7;
  const std::string url = "https://cdn.example.invalid/a?b=1&c=<2>\"'";
  KnowLength(url, length);
  auto saved =
      std::make_unique<CDownloadTaskManager>(url, LocalPath() + " & <copy>", TaskFilePath());
  ASSERT_EQ(saved->generateDownloadTask("", 0), DOWNLOAD_OK);
  const auto& tasks = saved->allTasks();
  tasks[1024]->DownloadedPos = 4 * kGiB + 12345;  // beyond 32 bits
  tasks[1024]->TaskStatus = TaskFailed;
  tasks[1279]->DownloadedPos = length;
  tasks[1279]->TaskStatus = TaskDone;
  tasks[600]->TaskStatus = TaskDispatched;
  tasks[600]->DownloadedPos = tasks[600]->StartPos + 99;
  saved->setDownloadTime(9876543210LL);
  ASSERT_EQ(saved->saveTaskFile(), 1);

  auto loaded = Manager(url);
  EXPECT_FALSE(loaded->loadTaskFromFile(0));
  EXPECT_EQ(loaded->contentLength(), length);
  EXPECT_EQ(loaded->downloadTime(), 9876543210LL);
  EXPECT_EQ(loaded->sliceCount(), saved->sliceCount());
  ASSERT_EQ(loaded->allTasks().size(), tasks.size());
  for (size_t i = 0; i < tasks.size(); ++i) {
    const CTask& a = *tasks[i];
    const CTask& b = *loaded->allTasks()[i];
    ASSERT_EQ(b.StartPos, a.StartPos) << i;
    ASSERT_EQ(b.EndPos, a.EndPos) << i;
    ASSERT_EQ(b.DownloadedPos, a.DownloadedPos) << i;
    ASSERT_EQ(b.TaskStatus, a.TaskStatus) << i;
    ASSERT_EQ(b.TaskId, a.TaskId) << i;
    ASSERT_EQ(b.RemotePath, url) << i;
    ASSERT_EQ(b.LocalPath, LocalPath() + " & <copy>") << i;
  }
  EXPECT_EQ(loaded->dispatchedTasks(), std::vector<CTask*>{loaded->allTasks()[1279].get()});
  EXPECT_EQ(loaded->todoTasks().size(), tasks.size() - 1);
}

// ---- Writing ----------------------------------------------------------------------------

TEST_F(TaskFileTest, SavingReplacesTheFileAndLeavesNothingElseBehind) {
  WriteTaskFile("an older file");
  auto manager = FixtureManager();
  Fresh10MiB(manager.get());
  ASSERT_EQ(manager->saveTaskFile(), 1);
  EXPECT_EQ(SavedText(), Fixture("fresh.xml"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(env_.Root() + "/drive")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"lumaclear_setup.exe.xml"});
}

TEST_F(TaskFileTest, AnUnwritableTaskFileIsSkipped) {
  KnowLength(kFixtureUrl, 1000);
  const std::string folder = env_.Root() + "/drive/taken.xml";
  std::filesystem::create_directories(folder + "/inside");
  for (const std::string& path : {folder, env_.Root() + "/no-such-folder/setup.exe.xml"}) {
    SCOPED_TRACE(path);
    CDownloadTaskManager manager(kFixtureUrl, LocalPath(), path);
    ASSERT_EQ(manager.generateDownloadTask("", 0), DOWNLOAD_OK);
    EXPECT_EQ(manager.saveTaskFile(), 0);
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
  EXPECT_FALSE(std::filesystem::exists(env_.Root() + "/no-such-folder"));
}

TEST_F(TaskFileTest, PositionsAreReadBeforeTheBarrierFlushes) {
  auto manager = FixtureManager();
  MidDownload(manager.get());
  CTask* second = manager->allTasks()[1].get();
  int barriers = 0;
  // A worker writes on while the save flushes: its new bytes may not be
  // flushed yet, so the file must not claim them.
  manager->setSaveBarrier([&] {
    ++barriers;
    second->DownloadedPos = 450;
    return true;
  });
  ASSERT_EQ(manager->saveTaskFile(), 1);
  EXPECT_EQ(barriers, 1);
  EXPECT_EQ(SavedText(), Fixture("resume.xml"));  // still 300
}

TEST_F(TaskFileTest, AFailedBarrierKeepsThePreviousFile) {
  auto manager = FixtureManager();
  MidDownload(manager.get());
  ASSERT_EQ(manager->saveTaskFile(), 1);
  manager->allTasks()[1]->DownloadedPos = 450;
  manager->setSaveBarrier([] { return false; });
  EXPECT_EQ(manager->saveTaskFile(), 0);
  EXPECT_EQ(SavedText(), Fixture("resume.xml"));
}

TEST_F(TaskFileTest, TheSharedFileFlushServesAsBarrier) {
  platform::NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(kDownloadWriteMutexName, false, nullptr));
  platform::SharedFile file;
  auto manager = FixtureManager();
  Fresh10MiB(manager.get());
  manager->setSaveBarrier([&] { return FlushSharedFile(&mutex, &file); });
  EXPECT_EQ(manager->saveTaskFile(), 0);  // no open file: nothing can be vouched for
  ASSERT_TRUE(file.Open(LocalPath(), nullptr));
  EXPECT_EQ(manager->saveTaskFile(), 1);
  EXPECT_EQ(SavedText(), Fixture("fresh.xml"));
}

}  // namespace
}  // namespace tasks_test
