// Cutting a remote file into slices: the configuration's Slice_num and
// Slice_size, the default 4 MiB, the last slice taking the remainder and
// ending at the length itself, 64-bit offsets, and the lists and report
// that a generated download starts with. The length comes from the cache,
// so no request is made.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SingleUserLog.h"
#include "TasksTestSupport.h"

namespace tasks_test {
namespace {

constexpr char kUrl[] = "https://cdn.example.invalid/lumaclear_setup.exe";
constexpr int64_t kMiB = 1048576;
constexpr int64_t kGiB = 1024 * kMiB;

using Slices = std::vector<std::pair<int64_t, int64_t>>;  // StartPos, EndPos

Slices SlicesOf(const CDownloadTaskManager& manager) {
  Slices slices;
  for (const auto& task : manager.allTasks()) slices.emplace_back(task->StartPos, task->EndPos);
  return slices;
}

struct SlicingCase {
  const char* name;
  int64_t length;
  int32_t sliceNum;
  int32_t sliceSize;
  Slices expected;
};

class SlicingTest : public TasksTest, public ::testing::WithParamInterface<SlicingCase> {};

TEST_P(SlicingTest, CutsTheFileIntoChainedSlices) {
  const SlicingCase& c = GetParam();
  SetSlicing(c.sliceNum, c.sliceSize);
  KnowLength(kUrl, c.length);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("", 1), DOWNLOAD_OK);

  EXPECT_EQ(SlicesOf(*manager), c.expected);
  EXPECT_EQ(manager->contentLength(), c.length);
  EXPECT_EQ(manager->sliceCount(), static_cast<int32_t>(c.expected.size()));
  ASSERT_EQ(manager->todoTasks().size(), c.expected.size());
  EXPECT_TRUE(manager->dispatchedTasks().empty());
  for (size_t i = 0; i < manager->allTasks().size(); ++i) {
    const CTask& task = *manager->allTasks()[i];
    EXPECT_EQ(manager->todoTasks()[i], &task);
    EXPECT_EQ(task.TaskId, static_cast<int32_t>(i + 1));
    EXPECT_EQ(task.TaskStatus, TaskTodo);
    EXPECT_EQ(task.DownloadedPos, task.StartPos);
    EXPECT_EQ(task.ContentLength, c.length);
    EXPECT_EQ(task.RemotePath, kUrl);
    EXPECT_EQ(task.LocalPath, LocalPath());
    EXPECT_EQ(task.LogFlag, 1);
    EXPECT_EQ(task.RequestTimes, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SlicingTest,
    ::testing::Values(
        SlicingCase{"TenMiBDefault", 10 * kMiB, 0, 0, {{0, 4194303}, {4194304, 10485760}}},
        SlicingCase{"ThreeMiBDefault", 3 * kMiB, 0, 0, {{0, 3145728}}},
        SlicingCase{
            "SliceNum4On1000Bytes", 1000, 4, 0, {{0, 249}, {250, 499}, {500, 749}, {750, 1000}}},
        SlicingCase{"SliceNumRemainderGoesLast",
                    1003,
                    4,
                    0,
                    {{0, 249}, {250, 499}, {500, 749}, {750, 1003}}},
        SlicingCase{"SliceSize3MiBOn10MiB",
                    10 * kMiB,
                    0,
                    3 * kMiB,
                    {{0, 3145727}, {3145728, 6291455}, {6291456, 10485760}}},
        SlicingCase{"SliceNumWinsOverSliceSize", 1001, 2, 100, {{0, 499}, {500, 1001}}},
        SlicingCase{"MoreSlicesThanBytes", 3, 8, 0, {{0, 0}, {1, 1}, {2, 3}}},
        SlicingCase{
            "NegativeSettingsMeanDefault", 10 * kMiB, -1, -5, {{0, 4194303}, {4194304, 10485760}}},
        SlicingCase{"OneByte", 1, 0, 0, {{0, 1}}},
        SlicingCase{
            "SliceNumPast4GiB", 6 * kGiB + 1, 2, 0, {{0, 3 * kGiB - 1}, {3 * kGiB, 6 * kGiB + 1}}}),
    [](const ::testing::TestParamInfo<SlicingCase>& info) { return info.param.name; });

TEST_F(TasksTest, OffsetsPast2GiBStayExact) {
  const int64_t length = 5 * kGiB + 7;
  KnowLength(kUrl, length);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  const auto& tasks = manager->allTasks();
  ASSERT_EQ(tasks.size(), 1280u);
  EXPECT_EQ(tasks[512]->StartPos, 2 * kGiB);  // the slice past the 32-bit signed limit
  EXPECT_EQ(tasks[1024]->StartPos, 4 * kGiB);
  EXPECT_EQ(tasks[1024]->EndPos, 4 * kGiB + 4194303);
  EXPECT_EQ(tasks.back()->StartPos, 1279 * 4194304LL);
  EXPECT_EQ(tasks.back()->EndPos, length);
}

TEST_F(TasksTest, AHugeLengthIsCutIntoBoundedSlices) {
  const int64_t length = 1LL << 50;  // a server's absurd answer must not exhaust memory
  KnowLength(kUrl, length);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  const auto& tasks = manager->allTasks();
  ASSERT_LE(static_cast<int64_t>(tasks.size()), CDownloadTaskManager::kMaxSlices);
  int64_t expected = 0;
  for (const auto& task : tasks) {
    ASSERT_EQ(task->StartPos, expected);
    expected = task->EndPos + 1;
  }
  EXPECT_EQ(tasks.back()->EndPos, length);
}

TEST_F(TasksTest, FirstTrySuccessIsReportedWithNineNulls) {
  KnowLength(kUrl, 10 * kMiB);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("Download", 1), DOWNLOAD_OK);
  const std::string label = "Success/Null/Null/Null/Null/Null/Null/Null/Null/Null";
  EXPECT_EQ(report_.Labels("Other", "Download"), std::vector<std::string>{label});
  EXPECT_TRUE(log_.Contains(" GetSize: Download, " + label));
  EXPECT_TRUE(log_.Contains(" Tasks info, generate ok, total 2, todo 2, complete 0"));
}

TEST_F(TasksTest, NoReportTagSendsNoSizeReportAndSideDownloadsLogNoTasks) {
  KnowLength(kUrl, 10 * kMiB);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  EXPECT_TRUE(report_.Labels("Other", "Download").empty());
  for (const std::string& line : log_.Lines()) {
    EXPECT_EQ(line.find("GetSize"), std::string::npos) << line;
    EXPECT_EQ(line.find("Tasks info"), std::string::npos) << line;
  }
  EXPECT_EQ(manager->allTasks().front()->LogFlag, 0);
}

TEST_F(TasksTest, ListsHandOutTasksInOrderAndRefuseNull) {
  SetSlicing(3, 0);
  KnowLength(kUrl, 300);
  auto manager = Manager(kUrl);
  ASSERT_EQ(manager->generateDownloadTask("", 0), DOWNLOAD_OK);
  std::vector<CTask*> handed;
  while (CTask* task = manager->getTask()) handed.push_back(task);
  ASSERT_EQ(handed.size(), 3u);
  for (size_t i = 0; i < handed.size(); ++i) {
    EXPECT_EQ(handed[i], manager->allTasks()[i].get());
    EXPECT_EQ(handed[i]->TaskStatus, TaskDispatched);
  }
  EXPECT_EQ(manager->dispatchedTasks(), handed);
  EXPECT_TRUE(manager->todoTasks().empty());
  EXPECT_EQ(manager->getTask(), nullptr);

  EXPECT_EQ(manager->addTodoTask(nullptr), 0);
  EXPECT_EQ(manager->addDoneTask(nullptr), 0);
  EXPECT_EQ(manager->addTask(nullptr), 0);
  EXPECT_EQ(manager->allTasks().size(), 3u);

  manager->clearTasks();
  EXPECT_TRUE(manager->allTasks().empty());
  EXPECT_TRUE(manager->dispatchedTasks().empty());
  EXPECT_EQ(manager->sliceCount(), 0);
}

}  // namespace
}  // namespace tasks_test
