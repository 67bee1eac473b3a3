#include "platform/Processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/ProcessCommandLine.h"

extern char** environ;

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
// Without a pidfd there is nothing to block on, so the end of a process is polled.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr char kDeletedMark[] = " (deleted)";

std::string ProcRoot() {
  const char* root = std::getenv("VORNIK_PROC_ROOT");
  std::string folder = root && *root ? root : "/proc";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string EntryPath(uint32_t processId, const char* file) {
  return ProcRoot() + "/" + std::to_string(processId) + "/" + file;
}

bool ReadLink(const std::string& path, std::string* target) {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<size_t>(n) < buffer.size()) {
      target->assign(buffer.data(), static_cast<size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool ParseProcessId(const char* name, uint32_t* processId) {
  if (*name == '\0') return false;
  uint64_t value = 0;
  for (const char* p = name; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (value > INT_MAX) return false;
  }
  *processId = static_cast<uint32_t>(value);
  return value != 0;
}

// The name the process list shows: the executable's file name, or the kernel's
// short name when the executable is out of reach. False when the process is gone.
bool ReadExecutableName(uint32_t processId, std::wstring* name) {
  std::string target;
  if (ReadLink(EntryPath(processId, "exe"), &target)) {
    const size_t markLength = sizeof(kDeletedMark) - 1;
    if (target.size() > markLength &&
        target.compare(target.size() - markLength, markLength, kDeletedMark) == 0)
      target.resize(target.size() - markLength);
    const size_t slash = target.rfind('/');
    *name = FromUtf8(slash == std::string::npos ? target : target.substr(slash + 1));
    return true;
  }
  std::string comm;
  if (!ReadWholeFile(EntryPath(processId, "comm"), &comm)) return false;
  const size_t lineEnd = comm.find('\n');
  if (lineEnd != std::string::npos) comm.resize(lineEnd);
  *name = FromUtf8(comm);
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

int PidFdOpen(uint32_t processId) {
  return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0u));
}

int PidFdSendSignal(int pidFd, int signalNumber) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidFd, signalNumber, nullptr, 0u));
}

// Whether a process that is not our child has ended, for kernels without pidfds.
bool BareProcessHasEnded(uint32_t processId) {
  if (kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH) return true;
  std::string stat;
  if (!ReadWholeFile("/proc/" + std::to_string(processId) + "/stat", &stat)) return true;
  const size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return false;
  const char state = stat[close + 2];
  return state == 'Z' || state == 'X';
}

void HandToReaper(pid_t child) {
  try {
    std::thread([child] {
      int status = 0;
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child stays a zombie until this process ends.
  }
}

class SpawnAttributes {
 public:
  explicit SpawnAttributes(bool newSession) {
    posix_spawnattr_init(&attributes_);
    // The child starts with no blocked signal and no signal ignored, whatever our threads set.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes_, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attributes_, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes_, flags);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* Get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

class SpawnFileActions {
 public:
  SpawnFileActions(bool nullStandardStreams, const std::string& workingFolder) {
    posix_spawn_file_actions_init(&actions_);
    if (nullStandardStreams) {
      posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_adddup2(&actions_, 1, 2);
    }
    // Descriptors opened without close-on-exec (log files, sockets of libraries)
    // must not reach the child; it needs none of ours.
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    if (!workingFolder.empty())
      posix_spawn_file_actions_addchdir_np(&actions_, workingFolder.c_str());
  }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  const posix_spawn_file_actions_t* Get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

}  // namespace

class ProcessSpawner {
 public:
  struct Options {
    bool newSession = false;
    bool nullStandardStreams = false;
    bool searchPath = false;
    std::wstring workingFolder;
  };

  static bool Spawn(const std::wstring& program, const std::vector<std::wstring>& arguments,
                    const Options& options, ProcessHandle* process, int* lastError) {
    std::vector<std::string> narrow;
    narrow.reserve(arguments.size());
    for (const std::wstring& argument : arguments) narrow.push_back(ToUtf8(argument));
    std::vector<char*> argv;
    for (std::string& argument : narrow) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const std::string path = ToUtf8(program);
    const SpawnAttributes attributes(options.newSession);
    const SpawnFileActions actions(options.nullStandardStreams, ToUtf8(options.workingFolder));
    pid_t child = 0;
    const int error = options.searchPath ? posix_spawnp(&child, path.c_str(), actions.Get(),
                                                        attributes.Get(), argv.data(), environ)
                                         : posix_spawn(&child, path.c_str(), actions.Get(),
                                                       attributes.Get(), argv.data(), environ);
    if (lastError) *lastError = error;
    if (error != 0) return false;
    // Nobody else collects our children, so the id cannot be reused before the pidfd exists.
    *process =
        ProcessHandle(static_cast<uint32_t>(child), PidFdOpen(static_cast<uint32_t>(child)), true);
    return true;
  }
};

ProcessHandle::~ProcessHandle() { Close(); }

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : processId_(std::exchange(other.processId_, 0)),
      pidFd_(std::exchange(other.pidFd_, -1)),
      ownChild_(std::exchange(other.ownChild_, false)),
      reaped_(std::exchange(other.reaped_, false)),
      waitStatus_(std::exchange(other.waitStatus_, 0)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    processId_ = std::exchange(other.processId_, 0);
    pidFd_ = std::exchange(other.pidFd_, -1);
    ownChild_ = std::exchange(other.ownChild_, false);
    reaped_ = std::exchange(other.reaped_, false);
    waitStatus_ = std::exchange(other.waitStatus_, 0);
  }
  return *this;
}

void ProcessHandle::Close() {
  if (ownChild_ && !reaped_ && !HasEnded()) HandToReaper(static_cast<pid_t>(processId_));
  if (pidFd_ >= 0) close(pidFd_);
  processId_ = 0;
  pidFd_ = -1;
  ownChild_ = false;
  reaped_ = false;
  waitStatus_ = 0;
}

bool ProcessHandle::IsGone() const {
  if (reaped_) return true;
  if (pidFd_ >= 0) {
    pollfd entry{pidFd_, POLLIN, 0};
    return poll(&entry, 1, 0) > 0;
  }
  if (ownChild_) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(processId_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid != 0;
  }
  return BareProcessHasEnded(processId_);
}

// Never blocks. For our own child, collects it once it has ended.
bool ProcessHandle::HasEnded() {
  if (reaped_) return true;
  if (ownChild_) {
    pid_t done;
    while ((done = waitpid(static_cast<pid_t>(processId_), &waitStatus_, WNOHANG)) < 0 &&
           errno == EINTR) {
    }
    if (done == 0) return false;
    // ECHILD: someone ignored SIGCHLD and the kernel collected it already.
    reaped_ = true;
    if (done < 0) waitStatus_ = 0;
    return true;
  }
  return IsGone();
}

bool SnapshotProcesses(std::vector<ProcessEntry>* entries) {
  entries->clear();
  const std::unique_ptr<DIR, DirCloser> folder(opendir(ProcRoot().c_str()));
  if (!folder) return false;
  std::vector<uint32_t> ids;
  while (const dirent* item = readdir(folder.get())) {
    uint32_t processId = 0;
    if (ParseProcessId(item->d_name, &processId)) ids.push_back(processId);
  }
  std::sort(ids.begin(), ids.end());
  for (uint32_t processId : ids) {
    ProcessEntry entry;
    entry.processId = processId;
    if (ReadExecutableName(processId, &entry.exeFile)) entries->push_back(std::move(entry));
  }
  return !entries->empty();
}

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(getpid()); }

ProcessHandle OpenProcess(uint32_t processId) {
  if (processId == 0 || processId > INT_MAX) return ProcessHandle();
  const int pidFd = PidFdOpen(processId);
  if (pidFd >= 0) return ProcessHandle(processId, pidFd, false);
  if (errno == ESRCH || errno == EINVAL) return ProcessHandle();
  // No pidfds on this kernel (or filtered away): fall back to the bare id.
  if (kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM)
    return ProcessHandle(processId, -1, false);
  return ProcessHandle();
}

uint32_t GetProcessModulePath(const ProcessHandle& process, uint32_t capacity, std::wstring* path) {
  path->clear();
  if (!process.IsValid() || capacity == 0) return 0;
  std::string target;
  if (!ReadLink(EntryPath(process.processId_, "exe"), &target)) return 0;
  // The id may have passed to another process before the link was read; the
  // handle's process being still there rules that out.
  if (process.IsGone()) return 0;
  std::wstring full = FromUtf8(target);
  if (full.size() < capacity) {
    *path = std::move(full);
    return static_cast<uint32_t>(path->size());
  }
  *path = full.substr(0, capacity - 1);
  return capacity;
}

bool TerminateProcess(const ProcessHandle& process, uint32_t exitCode, int* lastError) {
  (void)exitCode;
  int error = EBADF;
  if (process.IsValid()) {
    const int result = process.pidFd_ >= 0 ? PidFdSendSignal(process.pidFd_, SIGKILL)
                                           : kill(static_cast<pid_t>(process.processId_), SIGKILL);
    error = result == 0 ? 0 : errno;
  }
  if (lastError) *lastError = error;
  return error == 0;
}

bool WaitForProcess(ProcessHandle& process, uint32_t timeoutMs) {
  if (!process.IsValid()) return false;
  const bool forever = timeoutMs == kWaitForever;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  for (;;) {
    if (process.HasEnded()) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (!forever && left.count() <= 0) return false;
    if (process.pidFd_ >= 0) {
      pollfd entry{process.pidFd_, POLLIN, 0};
      const long long limit = forever ? -1 : std::min<long long>(left.count(), INT_MAX);
      poll(&entry, 1, static_cast<int>(limit));
    } else {
      std::this_thread::sleep_for(forever ? kPollInterval
                                          : std::min<Clock::duration>(left, kPollInterval));
    }
  }
}

bool GetExitCodeProcess(const ProcessHandle& process, uint32_t* exitCode) {
  if (!process.ownChild_ || !process.reaped_) return false;
  const int status = process.waitStatus_;
  *exitCode =
      static_cast<uint32_t>(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
  return true;
}

bool CreateProcess(const std::wstring& commandLine, const std::wstring& workingFolder,
                   ProcessHandle* process, int* lastError) {
  const std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || arguments[0].empty()) {
    if (lastError) *lastError = EINVAL;
    return false;
  }
  ProcessSpawner::Options options;
  options.searchPath = arguments[0].find(L'/') == std::wstring::npos;
  options.workingFolder = workingFolder;
  return ProcessSpawner::Spawn(arguments[0], arguments, options, process, lastError);
}

bool CreateProcessWithApplication(const std::wstring& program, const std::wstring& parameters,
                                  const std::wstring& workingFolder, ProcessHandle* process,
                                  int* lastError) {
  if (program.empty()) {
    if (lastError) *lastError = EINVAL;
    return false;
  }
  std::vector<std::wstring> arguments = SplitCommandLine(parameters);
  arguments.insert(arguments.begin(), program);
  ProcessSpawner::Options options;
  options.searchPath = program.find(L'/') == std::wstring::npos;
  options.workingFolder = workingFolder;
  return ProcessSpawner::Spawn(program, arguments, options, process, lastError);
}

bool SpawnDetached(const std::wstring& program, const std::vector<std::wstring>& arguments,
                   int* lastError) {
  std::vector<std::wstring> argv = arguments;
  argv.insert(argv.begin(), program);
  ProcessSpawner::Options options;
  options.newSession = true;
  options.nullStandardStreams = true;
  options.searchPath = program.find(L'/') == std::wstring::npos;
  ProcessHandle child;  // dropping it hands the child to the reaper
  return ProcessSpawner::Spawn(program, argv, options, &child, lastError);
}

std::wstring GetProcessCommandLine() {
  std::string content;
  if (!ReadWholeFile(ProcRoot() + "/self/cmdline", &content)) return std::wstring();
  if (!content.empty() && content.back() == '\0') content.pop_back();
  if (content.empty()) return std::wstring();
  std::vector<const char*> argv{content.c_str()};
  for (size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\0') argv.push_back(content.c_str() + i + 1);
  }
  return JoinArguments(static_cast<int>(argv.size()), argv.data(), 0);
}

bool ShellExecuteSelfHidden(const std::wstring& parameters) {
  const std::wstring program = GetModuleFilePath();
  if (program.empty() || access(ToUtf8(program).c_str(), F_OK) != 0) return false;
  std::vector<std::wstring> arguments = SplitCommandLine(parameters);
  arguments.insert(arguments.begin(), program);
  ProcessSpawner::Options options;
  options.newSession = true;
  options.nullStandardStreams = true;
  ProcessHandle child;
  // Dropping the handle hands the child to the reaper.
  return ProcessSpawner::Spawn(program, arguments, options, &child, nullptr);
}

}  // namespace platform
