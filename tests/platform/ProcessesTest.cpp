#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "PlatformTestSupport.h"
#include "platform/Encoding.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/ProcessCommandLine.h"
#include "platform/Processes.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform_test::ScopedEnv;
using platform_test::TempFolder;
using testing_support::WriteFile;

constexpr uint32_t kKilledBySigkill = 128 + 9;

// Other processes' doings are announced by nothing, so they are polled for.
bool PollUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

// A child started for one test; killed and collected when the test ends.
class Child {
 public:
  explicit Child(const std::wstring& commandLine) {
    started_ = platform::CreateProcess(commandLine, L"", &process_, &error_);
  }
  ~Child() {
    if (!process_.IsValid()) return;
    if (!platform::WaitForProcess(process_, 0)) platform::TerminateProcess(process_, 0, nullptr);
    platform::WaitForProcess(process_, 10000);
  }
  bool Started() const { return started_; }
  int Error() const { return error_; }
  uint32_t Pid() const { return process_.ProcessId(); }
  platform::ProcessHandle& Handle() { return process_; }

 private:
  platform::ProcessHandle process_;
  bool started_ = false;
  int error_ = 0;
};

// A fake process list: <root>/<pid>/exe links and <root>/<pid>/comm files.
class FakeProcRoot {
 public:
  FakeProcRoot() : env_("VORNIK_PROC_ROOT", folder_.Path()) {}
  void AddExe(uint32_t pid, const std::string& target) {
    fs::create_directories(Entry(pid));
    fs::create_symlink(target, Entry(pid) + "/exe");
  }
  void AddComm(uint32_t pid, const std::string& comm) {
    fs::create_directories(Entry(pid));
    WriteFile(Entry(pid) + "/comm", comm);
  }
  const TempFolder& Folder() const { return folder_; }

 private:
  std::string Entry(uint32_t pid) const { return folder_ / std::to_string(pid); }
  TempFolder folder_;
  ScopedEnv env_;
};

// ---- Process list -----------------------------------------------------------

TEST(ProcessSnapshot, FakeListIsOrderedByIdAndNamedAsWindowsShowsIt) {
  FakeProcRoot root;
  root.AddExe(10, "/work/lumaclear_setup.exe (deleted)");
  root.AddExe(1, "/opt/Vornik/LumaclearApp.exe");
  root.AddComm(1, "ignored\n");
  root.AddComm(2, "kworker/0:1\n");             // no executable: the kernel's name
  fs::create_directories(root.Folder() / "3");  // ended while the list was read
  WriteFile(root.Folder() / "4", "");           // not a process folder
  root.AddExe(5, "/opt/Vörnik/Lümaclear.exe");
  fs::create_directories(root.Folder() / "self");
  fs::create_directories(root.Folder() / "12a");
  root.AddExe(0, "/sbin/none");

  std::vector<platform::ProcessEntry> entries{{99, L"stale"}};
  ASSERT_TRUE(platform::SnapshotProcesses(&entries));
  std::vector<std::pair<uint32_t, std::wstring>> got;
  for (const auto& entry : entries) got.emplace_back(entry.processId, entry.exeFile);
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, std::wstring>>{{1, L"LumaclearApp.exe"},
                                                                 {2, L"kworker/0:1"},
                                                                 {5, L"Lümaclear.exe"},
                                                                 {10, L"lumaclear_setup.exe"}}));
}

TEST(ProcessSnapshot, UnreadableOrEmptyListFails) {
  TempFolder folder;
  fs::create_directories(folder / "empty");
  fs::create_directories(folder / "only-ended/77");
  for (const std::string& root :
       {folder / "missing", folder / "empty", folder / "only-ended", std::string("/dev/null")}) {
    ScopedEnv env("VORNIK_PROC_ROOT", root);
    std::vector<platform::ProcessEntry> entries{{99, L"stale"}};
    EXPECT_FALSE(platform::SnapshotProcesses(&entries)) << root;
    EXPECT_TRUE(entries.empty()) << root;
  }
}

TEST(ProcessSnapshot, RealListHoldsThisProcessAndAChild) {
  TempFolder folder;
  const std::string copy = folder / "pkg name.exe";
  fs::copy_file("/bin/sleep", copy);
  Child child(L"\"" + platform::FromUtf8(copy) + L"\" 60");
  ASSERT_TRUE(child.Started()) << child.Error();

  std::vector<platform::ProcessEntry> entries;
  ASSERT_TRUE(platform::SnapshotProcesses(&entries));
  std::map<uint32_t, std::wstring> names;
  for (const auto& entry : entries) names[entry.processId] = entry.exeFile;
  EXPECT_EQ(names[platform::GetCurrentProcessId()],
            platform::FromUtf8(FileNameOf(platform::ToUtf8(platform::GetModuleFilePath()))));
  EXPECT_EQ(names[child.Pid()], L"pkg name.exe");
  EXPECT_EQ(platform::GetCurrentProcessId(), static_cast<uint32_t>(getpid()));
}

// ---- Handles ------------------------------------------------------------------

TEST(ProcessHandle, ModulePathIsCutToTheCapacity) {
  struct Case {
    size_t length;  // of the link's target; 0: no link
    uint32_t capacity;
    uint32_t returned;
    size_t stored;
  };
  const Case cases[] = {
      {10, 260, 10, 10},    {259, 260, 259, 259}, {260, 260, 260, 259},
      {300, 260, 260, 259}, {10, 0, 0, 0},        {0, 260, 0, 0},
  };
  const uint32_t self = platform::GetCurrentProcessId();
  for (const Case& c : cases) {
    FakeProcRoot root;
    const std::string target = "/" + std::string(c.length - (c.length ? 1 : 0), 'p');
    if (c.length) root.AddExe(self, target);
    const platform::ProcessHandle process = platform::OpenProcess(self);
    ASSERT_TRUE(process.IsValid());
    std::wstring path = L"stale";
    EXPECT_EQ(platform::GetProcessModulePath(process, c.capacity, &path), c.returned) << c.length;
    EXPECT_EQ(path.size(), c.stored) << c.length;
    EXPECT_EQ(path, platform::FromUtf8(target.substr(0, c.stored))) << c.length;
  }
}

TEST(ProcessHandle, OwnModulePathIsTheProgramFile) {
  const platform::ProcessHandle self = platform::OpenProcess(platform::GetCurrentProcessId());
  std::wstring path;
  const uint32_t length = platform::GetProcessModulePath(self, PATH_MAX, &path);
  EXPECT_EQ(path, platform::GetModuleFilePath());
  EXPECT_EQ(length, path.size());
}

TEST(ProcessHandle, TerminateEndsTheProcessAndTheHandleNeverOutlivesIt) {
  Child child(L"/bin/sleep 60");
  ASSERT_TRUE(child.Started()) << child.Error();
  platform::ProcessHandle opened = platform::OpenProcess(child.Pid());
  ASSERT_TRUE(opened.IsValid());
  EXPECT_EQ(opened.ProcessId(), child.Pid());
  EXPECT_FALSE(platform::WaitForProcess(opened, 20));

  int lastError = -1;
  EXPECT_TRUE(platform::TerminateProcess(opened, 0, &lastError));
  EXPECT_EQ(lastError, 0);
  EXPECT_TRUE(platform::WaitForProcess(opened, 10000));
  uint32_t exitCode = 0;
  EXPECT_FALSE(platform::GetExitCodeProcess(opened, &exitCode));  // not our child's handle
  ASSERT_TRUE(platform::WaitForProcess(child.Handle(), 10000));
  ASSERT_TRUE(platform::GetExitCodeProcess(child.Handle(), &exitCode));
  EXPECT_EQ(exitCode, kKilledBySigkill);

  // Collected: the id may belong to anyone now, the handle still to the dead process.
  std::wstring path = L"stale";
  EXPECT_EQ(platform::GetProcessModulePath(opened, 260, &path), 0u);
  EXPECT_TRUE(path.empty());
  EXPECT_FALSE(platform::TerminateProcess(opened, 0, &lastError));
  EXPECT_EQ(lastError, ESRCH);
}

TEST(ProcessHandle, MovedHandleKeepsTheChild) {
  Child child(L"sh -c \"exit 5\"");
  ASSERT_TRUE(child.Started()) << child.Error();
  platform::ProcessHandle moved = std::move(child.Handle());
  EXPECT_FALSE(child.Handle().IsValid());
  ASSERT_TRUE(platform::WaitForProcess(moved, 10000));
  uint32_t exitCode = 0;
  ASSERT_TRUE(platform::GetExitCodeProcess(moved, &exitCode));
  EXPECT_EQ(exitCode, 5u);
}

TEST(ProcessHandle, NoProcessGivesAnInvalidHandle) {
  for (uint32_t pid : {0u, 2147483000u, 4294967295u}) {
    platform::ProcessHandle process = platform::OpenProcess(pid);
    EXPECT_FALSE(process.IsValid()) << pid;
    std::wstring path = L"stale";
    EXPECT_EQ(platform::GetProcessModulePath(process, 260, &path), 0u);
    EXPECT_TRUE(path.empty());
    int lastError = 0;
    EXPECT_FALSE(platform::TerminateProcess(process, 0, &lastError));
    EXPECT_EQ(lastError, EBADF);
    EXPECT_FALSE(platform::WaitForProcess(process, 0));
  }
}

// ---- Starting programs --------------------------------------------------------

// A program that writes what it was started with to <out> and exits with 7:
// working folder, arguments, open descriptors, id and session.
std::string WriteRecorder(const std::string& path, const std::string& out) {
  fs::create_directories(fs::path(path).parent_path());
  WriteFile(path,
            "#!/bin/sh\n"
            "out='" +
                out +
                "'\n"
                "fds=$(for fd in /proc/$$/fd/*; do "
                "echo \"fd ${fd##*/} $(readlink \"$fd\")\"; done)\n"
                "{\n"
                "  echo \"cwd $(pwd)\"\n"
                "  for a in \"$@\"; do printf 'arg [%s]\\n' \"$a\"; done\n"
                "  echo \"$fds\"\n"
                "  echo \"pid $$\"\n"
                "  read -r stat < /proc/$$/stat\n"
                "  set -- $stat\n"
                "  echo \"sid $6\"\n"
                "} > \"$out.part\"\n"
                "mv \"$out.part\" \"$out\"\n"
                "exit 7\n");
  chmod(path.c_str(), 0755);
  return path;
}

struct Record {
  std::string cwd;
  std::vector<std::string> arguments;
  std::map<int, std::string> descriptors;
  std::string pid;
  std::string sid;
};

Record ParseRecord(const std::string& text) {
  Record record;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("cwd ", 0) == 0) record.cwd = line.substr(4);
    if (line.rfind("arg [", 0) == 0) record.arguments.push_back(line.substr(5, line.size() - 6));
    if (line.rfind("pid ", 0) == 0) record.pid = line.substr(4);
    if (line.rfind("sid ", 0) == 0) record.sid = line.substr(4);
    if (line.rfind("fd ", 0) == 0) {
      const size_t blank = line.find(' ', 3);
      record.descriptors[std::stoi(line.substr(3, blank - 3))] =
          blank == std::string::npos ? "" : line.substr(blank + 1);
    }
  }
  return record;
}

// A descriptor opened the careless way, without close-on-exec.
class InheritableFile {
 public:
  explicit InheritableFile(const std::string& path) : path_(path) {
    WriteFile(path, "marker");
    fd_ = open(path.c_str(), O_RDONLY);
  }
  ~InheritableFile() {
    if (fd_ >= 0) close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

bool MentionsFile(const Record& record, const std::string& path) {
  for (const auto& [fd, target] : record.descriptors)
    if (target == path) return true;
  return false;
}

TEST(CreateProcess, RunsTheCommandLineInTheWorkingFolder) {
  TempFolder folder;
  const std::string program = WriteRecorder(folder / "bin dir/recorder.sh", folder / "record");
  fs::create_directories(folder / "work dir");
  InheritableFile marker(folder / "marker");
  ASSERT_TRUE(marker.IsOpen());

  platform::ProcessHandle process;
  int lastError = -1;
  ASSERT_TRUE(platform::CreateProcess(
      L"\"" + platform::FromUtf8(program) + L"\" one \"two words\" \"\" say\\\"hi",
      platform::FromUtf8(folder / "work dir"), &process, &lastError));
  EXPECT_EQ(lastError, 0);
  ASSERT_TRUE(platform::WaitForProcess(process, 10000));
  uint32_t exitCode = 0;
  ASSERT_TRUE(platform::GetExitCodeProcess(process, &exitCode));
  EXPECT_EQ(exitCode, 7u);

  const Record record = ParseRecord(ReadText(folder / "record"));
  EXPECT_EQ(record.cwd, folder / "work dir");
  EXPECT_EQ(record.arguments, (std::vector<std::string>{"one", "two words", "", "say\"hi"}));
  EXPECT_FALSE(MentionsFile(record, folder / "marker"));
}

TEST(CreateProcess, SearchesThePathForABareProgramName) {
  platform::ProcessHandle process;
  ASSERT_TRUE(platform::CreateProcess(L"sh -c \"exit 3\"", L"", &process, nullptr));
  ASSERT_TRUE(platform::WaitForProcess(process, platform::kWaitForever));
  uint32_t exitCode = 0;
  ASSERT_TRUE(platform::GetExitCodeProcess(process, &exitCode));
  EXPECT_EQ(exitCode, 3u);
}

TEST(CreateProcess, ProgramThatCannotRunIsReported) {
  TempFolder folder;
  WriteFile(folder / "plain.txt", "not a program");
  const std::pair<std::wstring, int> cases[] = {
      {platform::FromUtf8(folder / "missing.exe"), ENOENT},
      {L"no-such-program-vornik", ENOENT},
      {platform::FromUtf8(folder / "plain.txt"), EACCES},
      {L"", EINVAL},
      {L"   ", EINVAL},
      {L"\"\" arg", EINVAL},
  };
  for (const auto& [commandLine, error] : cases) {
    platform::ProcessHandle process;
    int lastError = 0;
    EXPECT_FALSE(platform::CreateProcess(commandLine, L"", &process, &lastError));
    EXPECT_EQ(lastError, error) << platform::ToUtf8(commandLine);
    EXPECT_FALSE(process.IsValid());
  }
}

class ShellExecuteSelfHidden : public ::testing::Test {
 protected:
  ~ShellExecuteSelfHidden() override { platform::SetModuleFilePathForTesting(L""); }

  testing_support::TestEnvironment env_;
};

TEST_F(ShellExecuteSelfHidden, StartsTheProgramDetachedWithTheParametersSplit) {
  TempFolder folder;
  const std::string program = WriteRecorder(folder / "my setup/recorder.sh", folder / "record");
  platform::SetModuleFilePathForTesting(platform::FromUtf8(program));
  InheritableFile marker(folder / "marker");
  ASSERT_TRUE(marker.IsOpen());
  platform::NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"ZEL_Downloader_127", true, nullptr));

  ASSERT_TRUE(platform::ShellExecuteSelfHidden(L"-sendrestlogs \"two words\" c:\\dir\\ \"\""));
  ASSERT_TRUE(PollUntil([&] { return fs::exists(folder / "record"); }));

  const Record record = ParseRecord(ReadText(folder / "record"));
  EXPECT_EQ(record.arguments,
            (std::vector<std::string>{"-sendrestlogs", "two words", "c:\\dir\\", ""}));
  EXPECT_EQ(record.cwd, fs::current_path().string());
  for (int fd : {0, 1, 2}) EXPECT_EQ(record.descriptors.at(fd), "/dev/null") << fd;
  EXPECT_FALSE(MentionsFile(record, folder / "marker"));
  EXPECT_FALSE(MentionsFile(record, env_.Runtime() + "/vornik-mutex-ZEL_Downloader_127.lock"));
  EXPECT_EQ(record.sid, record.pid);  // a session of its own
  // Once it has ended it is collected, not left behind as our zombie.
  EXPECT_TRUE(PollUntil([&] { return !fs::exists("/proc/" + record.pid); }));
}

TEST_F(ShellExecuteSelfHidden, ProgramFileGoneStartsNothing) {
  TempFolder folder;
  platform::SetModuleFilePathForTesting(platform::FromUtf8(folder / "removed.exe"));
  EXPECT_FALSE(platform::ShellExecuteSelfHidden(L"-sendrestlogs"));
}

// ---- Own command line -----------------------------------------------------------

// The kernel's form of an argument vector: each argument ends in a NUL.
std::string KernelCommandLine(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += argument + '\0';
  return text;
}

TEST(GetProcessCommandLine, JoinsTheArgumentsWithWindowsQuoting) {
  const std::pair<std::vector<std::string>, std::wstring> cases[] = {
      {{"/opt/vornik/setup", "-sendrestlogs"}, L"/opt/vornik/setup -sendrestlogs"},
      {{"/opt/my apps/setup", "two words", ""}, L"\"/opt/my apps/setup\" \"two words\" \"\""},
      {{"setup", "say\"hi", "c:\\dir\\"}, L"setup \"say\\\"hi\" c:\\dir\\"},
      {{"setup"}, L"setup"},
  };
  for (const auto& [arguments, expected] : cases) {
    FakeProcRoot root;
    fs::create_directories(root.Folder() / "self");
    WriteFile(root.Folder() / "self/cmdline", KernelCommandLine(arguments));
    const std::wstring line = platform::GetProcessCommandLine();
    EXPECT_EQ(line, expected);
    std::vector<std::wstring> wide;
    for (const std::string& argument : arguments) wide.push_back(platform::FromUtf8(argument));
    EXPECT_EQ(platform::SplitCommandLine(line), wide) << platform::ToUtf8(line);
  }
}

TEST(GetProcessCommandLine, UnreadableCommandLineIsEmpty) {
  FakeProcRoot root;
  EXPECT_EQ(platform::GetProcessCommandLine(), L"");
  fs::create_directories(root.Folder() / "self");
  WriteFile(root.Folder() / "self/cmdline", "");
  EXPECT_EQ(platform::GetProcessCommandLine(), L"");
}

TEST(GetProcessCommandLine, RealCommandLineStartsWithThisProgram) {
  const std::vector<std::wstring> arguments =
      platform::SplitCommandLine(platform::GetProcessCommandLine());
  ASSERT_FALSE(arguments.empty());
  EXPECT_EQ(FileNameOf(platform::ToUtf8(arguments[0])),
            FileNameOf(platform::ToUtf8(platform::GetModuleFilePath())));
}

}  // namespace
