// The process finder against real processes: copies of /bin/sleep running
// under the package's name (unique per test, so that tests running side by
// side never see each other's processes) from the package path, from ".tmp"
// places and from elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FuntionImpl.h"
#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

constexpr uint32_t kKilledBySigkill = 128 + 9;

class LogLines : public el::LogDispatchCallback {
 public:
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 protected:
  void handle(const el::LogDispatchData* data) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(data->logMessage()->message());
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A copy of sleep running for the test; killed and collected when the test ends.
class RunningCopy {
 public:
  explicit RunningCopy(const std::string& executable) {
    started_ =
        platform::CreateProcess(L"\"" + FromUtf8(executable) + L"\" 60", L"", &process_, nullptr);
  }
  ~RunningCopy() {
    if (!process_.IsValid()) return;
    if (!platform::WaitForProcess(process_, 0)) platform::TerminateProcess(process_, 0, nullptr);
    platform::WaitForProcess(process_, 10000);
  }
  bool Started() const { return started_; }
  uint32_t Pid() const { return process_.ProcessId(); }
  // Without waiting: the finder returns only after its kills have taken effect.
  bool EndedByKill() {
    uint32_t exitCode = 0;
    return platform::WaitForProcess(process_, 0) &&
           platform::GetExitCodeProcess(process_, &exitCode) && exitCode == kKilledBySigkill;
  }
  bool Running() { return !platform::WaitForProcess(process_, 0); }

 private:
  platform::ProcessHandle process_;
  bool started_ = false;
};

class FindProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    el::Helpers::installLogDispatchCallback<LogLines>(kLogId);
    const std::string tag = fs::path(env_.Root()).filename().string();
    package_ = "lumaclear_setup_" + tag.substr(tag.rfind('-') + 1) + ".exe";
    twin_ = package_.substr(0, package_.size() - 3) + "tmp";
  }
  void TearDown() override { el::Helpers::uninstallLogDispatchCallback<LogLines>(kLogId); }

  std::string PathOf(const std::string& relative) const { return env_.Root() + "/" + relative; }

  // Copies sleep to folder/name unless it is there already, and starts it.
  std::unique_ptr<RunningCopy> Start(const std::string& folder, const std::string& name) {
    const std::string path = PathOf(folder + "/" + name);
    fs::create_directories(PathOf(folder));
    if (!fs::exists(path)) fs::copy_file("/bin/sleep", path);
    auto copy = std::make_unique<RunningCopy>(path);
    EXPECT_TRUE(copy->Started()) << path;
    return copy;
  }

  std::vector<std::string> Log() {
    return el::Helpers::logDispatchCallback<LogLines>(kLogId)->Lines();
  }
  size_t CountLog(const std::string& line) {
    const std::vector<std::string> lines = Log();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
  static std::string Found(uint32_t pid) { return " Find proc: " + std::to_string(pid); }

  static constexpr const char* kLogId = "FindProcessTest";
  testing_support::TestEnvironment env_;
  std::string package_;  // "lumaclear_setup_<tag>.exe"
  std::string twin_;     // "lumaclear_setup_<tag>.tmp"
};

TEST_F(FindProcessTest, WithTemporaryCopiesEndsThePackageAndEveryTmpCopy) {
  auto package = Start("work", package_);
  auto twin = Start("plain", twin_);           // named like the twin
  auto tmpFolder = Start("dl.tmp", package_);  // the package's name, in a ".tmp" folder
  auto elsewhere = Start("other", package_);   // the package's name, elsewhere
  auto otherName = Start("work", "lumaclear_other.exe");
  const std::string packagePath = PathOf("work/" + package_);
  // The running package holds its file: it cannot be opened for update.
  ASSERT_EQ(std::fopen(packagePath.c_str(), "rb+"), nullptr);

  const int found = FuntionImpl::FindProcessByFullPath(FromUtf8(packagePath), true, true);

  const uint32_t last = std::max({package->Pid(), twin->Pid(), tmpFolder->Pid()});
  EXPECT_EQ(found, static_cast<int>(last));
  EXPECT_TRUE(package->EndedByKill());
  EXPECT_TRUE(twin->EndedByKill());
  EXPECT_TRUE(tmpFolder->EndedByKill());
  EXPECT_TRUE(elsewhere->Running());
  EXPECT_TRUE(otherName->Running());
  // The caller's retry succeeds at once.
  std::FILE* reopened = std::fopen(packagePath.c_str(), "rb+");
  EXPECT_NE(reopened, nullptr);
  if (reopened) std::fclose(reopened);

  for (uint32_t pid : {package->Pid(), twin->Pid(), tmpFolder->Pid(), elsewhere->Pid()})
    EXPECT_EQ(CountLog(Found(pid)), 1u) << pid;
  EXPECT_EQ(CountLog(Found(otherName->Pid())), 0u);
  const std::string length = std::to_string(packagePath.size());
  EXPECT_EQ(CountLog(" Get proc info: " + length + ", " + length), 1u);
  EXPECT_EQ(CountLog(" Kill proc: 1, 0"), 3u);
}

TEST_F(FindProcessTest, WithoutTemporaryCopiesOnlyThePathMatchesAndTheFirstEnds) {
  auto twin = Start("plain", twin_);
  auto tmpFolder = Start("dl.tmp", package_);
  auto elsewhere = Start("other", package_);
  auto first = Start("work", package_);
  auto second = Start("work", package_);
  const uint32_t firstPid = std::min(first->Pid(), second->Pid());

  const int found =
      FuntionImpl::FindProcessByFullPath(FromUtf8(PathOf("work/" + package_)), true, false);

  EXPECT_EQ(found, static_cast<int>(firstPid));
  EXPECT_EQ(first->EndedByKill(), first->Pid() == firstPid);
  EXPECT_EQ(second->EndedByKill(), second->Pid() == firstPid);
  EXPECT_TRUE(twin->Running());
  EXPECT_TRUE(tmpFolder->Running());
  EXPECT_TRUE(elsewhere->Running());
  EXPECT_EQ(CountLog(Found(twin->Pid())), 0u);  // the twin's name is not looked for
  EXPECT_EQ(CountLog(" Kill proc: 1, 0"), 1u);
}

TEST_F(FindProcessTest, SameNameElsewhereIsNeverEndedWithoutTemporaryCopies) {
  auto elsewhere = Start("other", package_);
  auto tmpFolder = Start("dl.tmp", package_);
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(FromUtf8(PathOf("work/" + package_)), true, false),
            -1);
  EXPECT_TRUE(elsewhere->Running());
  EXPECT_TRUE(tmpFolder->Running());
  EXPECT_EQ(CountLog(Found(elsewhere->Pid())), 1u);
  EXPECT_EQ(CountLog(Found(tmpFolder->Pid())), 1u);
  EXPECT_EQ(CountLog(" Kill proc: 1, 0"), 0u);
}

TEST_F(FindProcessTest, ProcessIsKnownByTheNameItRunsUnder) {
  struct Case {
    const char* how;
    void (*makeAlias)(const fs::path& package, const fs::path& alias);
    bool found;
  };
  const Case cases[] = {
      {"a hard link under another name",
       [](const fs::path& p, const fs::path& a) { fs::create_hard_link(p, a); }, false},
      {"a copy under another name",
       [](const fs::path& p, const fs::path& a) { fs::copy_file(p, a); }, false},
      {"a symbolic link to the package",
       [](const fs::path& p, const fs::path& a) { fs::create_symlink(p, a); }, true},
  };
  int round = 0;
  for (const Case& c : cases) {
    const std::string folder = "case" + std::to_string(++round);
    const std::string packagePath = PathOf(folder + "/" + package_);
    fs::create_directories(PathOf(folder));
    fs::copy_file("/bin/sleep", packagePath);
    c.makeAlias(packagePath, PathOf(folder + "/alias.exe"));
    auto process = Start(folder, "alias.exe");

    const int found = FuntionImpl::FindProcessByFullPath(FromUtf8(packagePath), true, true);
    EXPECT_EQ(found, c.found ? static_cast<int>(process->Pid()) : -1) << c.how;
    EXPECT_EQ(process->EndedByKill(), c.found) << c.how;
  }
}

TEST_F(FindProcessTest, WithoutKillOnlyFindsAndCaseDoesNotMatter) {
  auto package = Start("work", package_);
  auto twin = Start("plain", twin_);
  std::string shouting = PathOf("work/" + package_);
  std::transform(shouting.begin(), shouting.end(), shouting.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });

  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(FromUtf8(shouting), false, true),
            static_cast<int>(std::max(package->Pid(), twin->Pid())));
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(FromUtf8(shouting), false, false),
            static_cast<int>(package->Pid()));
  EXPECT_TRUE(package->Running());
  EXPECT_TRUE(twin->Running());
  EXPECT_EQ(CountLog(" Kill proc: 1, 0"), 0u);
}

TEST_F(FindProcessTest, NeverEndsTheCallingProcess) {
  // A process list in which this process runs the package beside a real copy.
  auto package = Start("work", package_);
  const std::string packagePath = PathOf("work/" + package_);
  const uint32_t self = platform::GetCurrentProcessId();
  const std::string root = PathOf("proc");
  for (uint32_t pid : {self, package->Pid()}) {
    fs::create_directories(root + "/" + std::to_string(pid));
    fs::create_symlink(packagePath, root + "/" + std::to_string(pid) + "/exe");
  }
  env_.SetEnv("VORNIK_PROC_ROOT", root);

  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(FromUtf8(packagePath), true, true),
            static_cast<int>(package->Pid()));
  EXPECT_TRUE(package->EndedByKill());
  EXPECT_EQ(CountLog(Found(self)), 1u);
  EXPECT_EQ(CountLog(" Kill proc: 1, 0"), 1u);
}

TEST_F(FindProcessTest, OwnProgramIsFoundInOthersOnly) {
  // Other runs of this test program may be about; without kill they come to no harm, and with
  // temporary copies the walk goes past them to this process.
  const int found = FuntionImpl::FindProcessByFullPath(platform::GetModuleFilePath(), false, true);
  EXPECT_NE(found, static_cast<int>(platform::GetCurrentProcessId()));
  EXPECT_NE(found, -2);
  EXPECT_EQ(CountLog(Found(platform::GetCurrentProcessId())), 1u);
}

TEST_F(FindProcessTest, UnreadableProcessListIsMinusTwo) {
  fs::create_directories(PathOf("empty"));
  for (const std::string& root : {PathOf("missing"), PathOf("empty")}) {
    env_.SetEnv("VORNIK_PROC_ROOT", root);
    EXPECT_EQ(FuntionImpl::FindProcessByFullPath(FromUtf8(PathOf("work/" + package_)), true, true),
              -2)
        << root;
  }
}

}  // namespace
