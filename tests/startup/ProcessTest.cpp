// End-to-end runs of the real program: log set-up, single instance, shipping
// runs and the ordered shutdown. Needs a display (the test command provides Xvfb).
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/WindowRegistry.h"
#include "support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::ReadFile;
using testing_support::WaitUntil;

class ProgramRuns : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    program_ = testing_support::CopyProgramTo(env_.Root() + "/prog", VORNIK_SETUP_EXE);
  }

  std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments,
                                      const std::string& program = "") {
    const std::string out = env_.Root() + "/stdout" + std::to_string(++runs_) + ".txt";
    stdoutFiles_.push_back(out);
    return std::make_unique<ChildProcess>(program.empty() ? program_ : program, arguments, out);
  }

  std::string LogFolder() const { return env_.AppData() + "/MVDownloader/logs/lumaclear_setup"; }

  std::vector<std::string> LogFiles() const {
    std::vector<std::string> files;
    if (!fs::is_directory(LogFolder())) return files;
    for (const auto& entry : fs::directory_iterator(LogFolder())) {
      if (entry.path().extension() == ".log") files.push_back(entry.path().string());
    }
    return files;
  }

  // How many runs' logs hold the text.
  int LogsContaining(const std::string& text) const {
    int count = 0;
    for (const std::string& file : LogFiles()) {
      if (ReadFile(file).find(text) != std::string::npos) ++count;
    }
    return count;
  }

  bool WindowUp(const wchar_t* className = L"MV_UI_Frame_127") {
    return WaitUntil([&] { return platform::FindWindowByClass(className); });
  }

  testing_support::TestEnvironment env_;
  std::string program_;
  std::vector<std::string> stdoutFiles_;
  int runs_ = 0;
};

TEST_F(ProgramRuns, SecondCopyRaisesTheFirstAndTheFirstShutsDownInOrder) {
  auto first = Start({"debug"});
  ASSERT_TRUE(WindowUp());

  auto second = Start({});
  EXPECT_EQ(second->Wait(), 0);
  EXPECT_TRUE(WaitUntil([&] { return LogsContaining(" bring window to front") == 1; }));
  EXPECT_EQ(LogsContaining(" InstallUIMainWnd InitWindow"), 1);
  EXPECT_TRUE(first->Running());

  first->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(), 0);

  // A new file per run: the two copies and the hidden run that the first
  // starts at its end to deliver the telemetry backlog.
  ASSERT_TRUE(WaitUntil([&] { return LogsContaining(" Run to send the rest") == 1; }));
  ASSERT_EQ(LogFiles().size(), 3u);
  const std::regex fileName(R"(lumaclear_setup_\d{17}\.log)");
  const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3}--\[Thread\]\([^)]+\) .*)");
  for (const std::string& file : LogFiles()) {
    EXPECT_TRUE(std::regex_match(fs::path(file).filename().string(), fileName)) << file;
    const std::string text = ReadFile(file);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      EXPECT_TRUE(std::regex_match(text.substr(start, end - start), line))
          << file << ": " << text.substr(start, end - start);
    }
    if (text.find(" InstallUIMainWnd InitWindow") == std::string::npos) continue;
    const size_t wait1 = text.find(" Wait exit 1");
    const size_t threads = text.find("InstallUIMainWnd WaitForAllThreadExit");
    const size_t wait2 = text.find(" Wait exit 2");
    const size_t logger = text.find("CSingleUserLog WaitThreadForExit");
    const size_t wait3 = text.find(" Wait exit 3");
    ASSERT_NE(wait3, std::string::npos) << text;
    EXPECT_TRUE(wait1 < threads && threads < wait2 && wait2 < logger && logger < wait3) << text;
  }

  // Only the run started with exactly "debug" printed its log lines.
  EXPECT_NE(ReadFile(stdoutFiles_[0]).find(" Wait exit 3"), std::string::npos);
  EXPECT_EQ(ReadFile(stdoutFiles_[1]), "");
  // The work folder was made on the fixed drive.
  EXPECT_TRUE(fs::is_directory(env_.Drive() + "/MVDownloader/lumaclear_setup"));
}

TEST_F(ProgramRuns, WithAutoRunASecondCopyRunsToo) {
  testing_support::WriteFile(env_.Root() + "/prog/mv_downloader.cfg", "[Settings]\nAutoRun=1\n");
  auto first = Start({});
  ASSERT_TRUE(WindowUp());
  auto second = Start({});
  EXPECT_TRUE(WaitUntil([&] { return LogsContaining(" InstallUIMainWnd InitWindow") == 2; }));
  EXPECT_EQ(LogsContaining(" bring window to front"), 0);
  first->Signal(SIGTERM);
  second->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(), 0);
  EXPECT_EQ(second->Wait(), 0);
}

TEST_F(ProgramRuns, TwoDifferentDownloadersRunSideBySide) {
  const std::string other =
      testing_support::CopyProgramTo(env_.Root() + "/prog128", VORNIK_SETUP_ID128_EXE);
  auto first = Start({});
  ASSERT_TRUE(WindowUp());
  auto second = Start({}, other);
  ASSERT_TRUE(WindowUp(L"MV_UI_Frame_128"));
  EXPECT_TRUE(first->Running());
  EXPECT_TRUE(second->Running());
  first->Signal(SIGTERM);
  second->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(), 0);
  EXPECT_EQ(second->Wait(), 0);
}

TEST_F(ProgramRuns, ShippingRunsEndWithoutWindowOrLock) {
  auto first = Start({});
  ASSERT_TRUE(WindowUp());
  struct Case {
    std::vector<std::string> arguments;
    const char* logged;
  } cases[] = {
      {{"-dmp", "lumaclear_setup_1.log"},
       " PackAndUploadLogs: CrashDmp, lumaclear_setup_1.log, with dumps"},
      {{"-close07", "lumaclear_setup_2.log"},
       " PackAndUploadLogs: close07, lumaclear_setup_2.log"},
  };
  for (const Case& c : cases) {
    auto run = Start(c.arguments);
    EXPECT_EQ(run->Wait(), 0) << c.logged;
    EXPECT_EQ(LogsContaining(c.logged), 1) << c.logged;
  }
  // Neither run took the lock or raised the first window.
  EXPECT_EQ(LogsContaining(" bring window to front"), 0);

  // "-dmp" without its blank is an ordinary run, so it meets the first copy.
  auto ordinary = Start({"-dmp"});
  EXPECT_EQ(ordinary->Wait(), 0);
  EXPECT_TRUE(WaitUntil([&] { return LogsContaining(" bring window to front") == 1; }));

  first->Signal(SIGTERM);
  EXPECT_EQ(first->Wait(), 0);
}

}  // namespace
