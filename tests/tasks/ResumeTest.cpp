// Preparing a download from an existing task file: a sound file resumes
// (slices saved as dispatched or failed continue from their saved
// positions, a complete file leaves nothing to do, and neither asks the
// server when the file records the address); a broken, hostile or
// out-of-date file is refused with "DL025" or "DL026", the local file and
// the task file are deleted and the download is cut anew.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "SingleUserLog.h"
#include "TasksTestSupport.h"

namespace tasks_test {
namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class ResumeTest : public TasksTest {
 protected:
  void SetUp() override {
    TasksTest::SetUp();
    ASSERT_TRUE(host_.Start());
    host_.Set("/setup.exe", Length(1000));
  }
  std::string Url() const { return host_.Url("/setup.exe"); }
  // A kept file as if it had been downloaded from this host's address.
  std::string FromHost(const std::string& text) const {
    std::string result = text;
    for (size_t at; (at = result.find(kFixtureUrl)) != std::string::npos;) {
      result.replace(at, std::string(kFixtureUrl).size(), Url());
    }
    return result;
  }
  size_t HeadRequests() const {
    size_t heads = 0;
    for (const std::string& request : host_.Requests()) heads += request.rfind("HEAD ", 0) == 0;
    return heads;
  }

  ProbeHost host_;
};

TEST_F(ResumeTest, SlicesSavedAsDispatchedOrFailedContinueWithoutAskingTheServer) {
  WriteTaskFile(FromHost(Fixture("resume.xml")));
  WriteLocalFile(1000);
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);

  EXPECT_TRUE(host_.Requests().empty());
  EXPECT_TRUE(log_.Contains(" Load tasks from file success!"));
  EXPECT_EQ(report_.FunnelCount("ResumUpload"), 1u);
  EXPECT_TRUE(FlowErrors().empty());
  EXPECT_TRUE(LocalFileExists());
  EXPECT_EQ(manager->downloadTime(), 1234);
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(Url()), 1000);

  std::vector<std::pair<int32_t, int64_t>> next;  // TaskId, where its worker starts
  while (CTask* task = manager->getTask()) next.emplace_back(task->TaskId, task->DownloadedPos);
  EXPECT_EQ(next, (std::vector<std::pair<int32_t, int64_t>>{{2, 300}, {3, 600}, {4, 750}}));
}

TEST_F(ResumeTest, ACompleteFileLeavesNothingToDo) {
  WriteTaskFile(FromHost(Fixture("complete.xml")));
  WriteLocalFile(1000);
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);
  EXPECT_TRUE(host_.Requests().empty());
  EXPECT_TRUE(manager->todoTasks().empty());
  EXPECT_EQ(manager->getTask(), nullptr);
  EXPECT_EQ(manager->dispatchedTasks().size(), 4u);
  for (const auto& task : manager->allTasks()) EXPECT_TRUE(task->IsComplete());
}

TEST_F(ResumeTest, AFileFromAnotherAddressResumesWhenTheServerAgreesOnTheLength) {
  WriteTaskFile(Fixture("resume.xml"));  // downloaded from the fixtures' address
  WriteLocalFile(1000);
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(HeadRequests(), 1u);
  EXPECT_EQ(manager->todoTasks().size(), 3u);
  EXPECT_TRUE(FlowErrors().empty());
}

TEST_F(ResumeTest, AFileCutWithAnotherSliceSizeResumes) {
  SetSlicing(0, 300);
  auto first = Manager(Url());
  ASSERT_EQ(first->generateDownloadTask("", 0), DOWNLOAD_OK);
  ASSERT_EQ(first->allTasks().size(), 3u);  // 0-299, 300-599, 600-1000
  first->getTask()->DownloadedPos = 120;
  ASSERT_EQ(first->saveTaskFile(), 1);
  WriteLocalFile(1000);

  SetSlicing(0, 0);  // the next run has no server configuration yet
  auto second = Manager(Url());
  ASSERT_EQ(second->loadDownloadTask("Download", 0), DOWNLOAD_OK);
  EXPECT_TRUE(FlowErrors().empty());
  ASSERT_EQ(second->allTasks().size(), 3u);
  EXPECT_EQ(second->allTasks().front()->DownloadedPos, 120);
  EXPECT_EQ(second->sliceSize(), 300);
}

TEST_F(ResumeTest, AnUnansweredLengthQueryKeepsTheProgress) {
  WriteTaskFile(Fixture("resume.xml"));  // another address: the server must be asked
  WriteLocalFile(1000);
  host_.Server().RefuseConnections();
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);
  EXPECT_TRUE(FlowErrors().empty());
  EXPECT_TRUE(LocalFileExists());
  EXPECT_EQ(manager->todoTasks().size(), 3u);
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(Url()), 0);
}

// ---- Refusals -------------------------------------------------------------------------

struct Refusal {
  const char* name;
  std::function<std::string()> file;  // the task file's text, downloaded from the host
  const char* label;
  int64_t localFileSize = 1000;  // -1: no local file
  bool fromHost = true;          // false: the file names another address
  int64_t serverLength = 1000;
};

std::string Resume() { return Fixture("resume.xml"); }
std::string ResumeWith(const std::string& from, const std::string& to) {
  return Replaced(Resume(), from, to);
}

class RefusalTest : public ResumeTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, TheFileIsRefusedAndTheDownloadStartsOver) {
  const Refusal& c = GetParam();
  host_.Set("/setup.exe", Length(c.serverLength));
  WriteTaskFile(c.fromHost ? FromHost(c.file()) : c.file());
  if (c.localFileSize >= 0) WriteLocalFile(c.localFileSize);
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);

  EXPECT_EQ(FlowErrors(), std::vector<std::string>{c.label});
  EXPECT_TRUE(log_.Contains(" taskinfo file error"));
  EXPECT_EQ(report_.FunnelCount("ResumUpload"), 0u);
  EXPECT_FALSE(LocalFileExists());
  EXPECT_FALSE(std::filesystem::exists(TaskFilePath()));

  // Cut anew from the server's length, nothing of the refused file kept.
  EXPECT_EQ(manager->contentLength(), c.serverLength);
  EXPECT_EQ(manager->downloadTime(), 0);
  ASSERT_EQ(manager->allTasks().size(), 1u);
  const CTask& task = *manager->allTasks().front();
  EXPECT_EQ(task.StartPos, 0);
  EXPECT_EQ(task.EndPos, c.serverLength);
  EXPECT_EQ(task.DownloadedPos, 0);
  EXPECT_EQ(task.TaskStatus, TaskTodo);
  EXPECT_EQ(manager->todoTasks().size(), 1u);
}

std::string WithoutLastTask() {
  std::string text = Resume();
  const size_t last = text.rfind("    <Task>");
  const size_t end = text.find("</Task>\n", last) + std::string("</Task>\n").size();
  return text.erase(last, end - last);
}

std::string Oversized() {
  return "<!--" + std::string(CDownloadTaskManager::kMaxTaskFileBytes, ' ') + "-->\n" + Resume();
}

std::string DeeplyNested() {
  std::string open;
  std::string close;
  for (int i = 0; i < 1000; ++i) {
    open += "<TaskInfo>";
    close += "</TaskInfo>";
  }
  return open + close;
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusalTest,
    ::testing::Values(
        // Slices that do not chain.
        Refusal{"GapOfOneByte", [] { return ResumeWith("<StartPos>500<", "<StartPos>501<"); },
                "DL026"},
        Refusal{"Overlap", [] { return ResumeWith("<StartPos>500<", "<StartPos>499<"); }, "DL026"},
        Refusal{"UnequalSlices",
                [] {
                  return Replaced(ResumeWith("<EndPos>499<", "<EndPos>519<"), "<StartPos>500<",
                                  "<StartPos>520<");
                },
                "DL026"},
        Refusal{"LastSliceShort", [] { return ResumeWith("<EndPos>1000<", "<EndPos>999<"); },
                "DL026"},
        Refusal{"MissingLastSlice", WithoutLastTask, "DL026"},
        Refusal{"IdsOutOfOrder",
                [] {
                  return Replaced(ResumeWith("<TaskId>2<", "<TaskId>3<"),
                                  "<TaskId>3</TaskId>\n"
                                  "        <RequestTimes>1<",
                                  "<TaskId>2</TaskId>\n"
                                  "        <RequestTimes>1<");
                },
                "DL026"},
        Refusal{"CountDisagrees", [] { return ResumeWith("<TasksCount>4<", "<TasksCount>5<"); },
                "DL026"},
        // Hostile or damaged slices.
        Refusal{"DownloadedPastTheSlice",
                [] { return ResumeWith("<DownloadedPos>300<", "<DownloadedPos>500<"); }, "DL026"},
        Refusal{"DownloadedBeforeTheSlice",
                [] { return ResumeWith("<DownloadedPos>300<", "<DownloadedPos>249<"); }, "DL026"},
        Refusal{"DoneButIncomplete",
                [] { return ResumeWith("<DownloadedPos>249<", "<DownloadedPos>200<"); }, "DL026"},
        Refusal{"UnknownState", [] { return ResumeWith("<TaskStatus>3<", "<TaskStatus>7<"); },
                "DL026"},
        Refusal{"NumberTooLarge",
                [] { return ResumeWith("<StartPos>750<", "<StartPos>99999999999999999999<"); },
                "DL026"},
        Refusal{"NotANumber", [] { return ResumeWith("<EndPos>749<", "<EndPos>7x9<"); }, "DL026"},
        Refusal{"NegativeStart", [] { return ResumeWith("<StartPos>0<", "<StartPos>-1<"); },
                "DL026"},
        Refusal{"HugeLengthNamedByTheFile",
                [] {
                  return ResumeWith("<ContentLength>1000<", "<ContentLength>9223372036854775807<");
                },
                "DL026"},
        // The local file lacks bytes that the slices claim.
        Refusal{"LocalFileShorterThanClaimed", Resume, "DL026", 599},
        Refusal{"LocalFileMissing", Resume, "DL026", -1},
        // Nothing usable read: the recorded length 0 differs from the server's.
        Refusal{"Truncated", [] { return Fixture("truncated.xml"); }, "DL025"},
        Refusal{"NotXml", [] { return std::string("\x01\x02 not a task file <"); }, "DL025"},
        Refusal{"EmptyRoot", [] { return std::string("<TaskInfo/>\n"); }, "DL025"},
        Refusal{"OnlyAComment", [] { return std::string("<!-- nothing -->\n"); }, "DL025"},
        Refusal{"DeeplyNested", DeeplyNested, "DL025"}, Refusal{"Oversized", Oversized, "DL025"},
        // The remote file changed.
        Refusal{"ServerNamesAnotherLength", Resume, "DL025", 1000, false, 2000}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(ResumeTest, ALengthThisProcessLearnedBeatsTheFilesRecord) {
  WriteTaskFile(FromHost(Fixture("resume.xml")));
  WriteLocalFile(1000);
  KnowLength(Url(), 2000);  // an earlier query of this run
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(FlowErrors(), std::vector<std::string>{"DL025"});
  EXPECT_EQ(manager->contentLength(), 2000);
  EXPECT_TRUE(host_.Requests().empty());
}

TEST_F(ResumeTest, ARefusedFileLeavesNoLengthBehindInTheCache) {
  // The file names the host's address with a wrong length and broken slices.
  WriteTaskFile(FromHost(Replaced(ResumeWith("<ContentLength>1000<", "<ContentLength>1500<"),
                                  "<StartPos>500<", "<StartPos>501<")));
  WriteLocalFile(1000);
  auto manager = Manager(Url());
  ASSERT_EQ(manager->loadDownloadTask("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(FlowErrors(), std::vector<std::string>{"DL026"});
  EXPECT_EQ(manager->contentLength(), 1000);  // asked anew, not the file's 1500
  EXPECT_EQ(HeadRequests(), 1u);
}

}  // namespace
}  // namespace tasks_test
