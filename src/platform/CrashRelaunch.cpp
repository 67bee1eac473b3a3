#include "platform/CrashRelaunch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/ProcessCommandLine.h"
#include "platform/SignalSafeIo.h"

extern char** environ;

namespace platform {
namespace {

// An argument vector that stays valid once published.
struct PreparedRun {
  std::vector<std::string> words;
  std::vector<char*> argv;
};

std::atomic<const PreparedRun*> g_run{nullptr};
std::mutex g_keptMutex;
// Earlier runs stay allocated: a crash may be reading one.
std::vector<std::unique_ptr<PreparedRun>>* const g_kept =
    new std::vector<std::unique_ptr<PreparedRun>>;

[[noreturn]] void BecomeRun(const PreparedRun& run) {
  syscall(SYS_setsid);
  const int null = signalsafe::Open("/dev/null", O_RDWR, 0);
  if (null >= 0) {
    for (int fd = 0; fd <= 2; ++fd) syscall(SYS_dup3, null, fd, 0);
  }
  // The crashed process's descriptors (its log, sockets, lock files) are not the run's.
  if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
    for (int fd = 3; fd < 1024; ++fd) syscall(SYS_close, fd);
  }
  // The handler runs with every signal blocked, and execve keeps the mask.
  sigset_t none;
  sigemptyset(&none);
  syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof(uint64_t));
  syscall(SYS_execve, run.argv[0], run.argv.data(), environ);
  syscall(SYS_exit_group, 127);
  __builtin_unreachable();
}

}  // namespace

void PrepareCrashRelaunch(const std::wstring& parameters) {
  std::unique_ptr<PreparedRun> run;
  if (!parameters.empty()) {
    run = std::make_unique<PreparedRun>();
    run->words.push_back(ToUtf8(GetModuleFilePath()));
    for (const std::wstring& word : SplitCommandLine(parameters))
      run->words.push_back(ToUtf8(word));
    for (std::string& word : run->words) run->argv.push_back(word.data());
    run->argv.push_back(nullptr);
  }
  std::lock_guard<std::mutex> lock(g_keptMutex);
  g_run.store(run.get());
  if (run) g_kept->push_back(std::move(run));
}

bool RelaunchFromCrash() {
  const PreparedRun* run = g_run.load();
  if (run == nullptr) return false;
  // A plain clone without shared memory: fork without glibc's fork handlers,
  // which take locks that the crashed thread may hold.
  const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
  if (child < 0) return false;
  if (child == 0) BecomeRun(*run);
  return true;
}

}  // namespace platform
