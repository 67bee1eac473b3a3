#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestEnvironment.h"

extern char** environ;

namespace testing_support {

ChildProcess::ChildProcess(const std::string& executable,
                           const std::vector<std::string>& arguments,
                           const std::string& stdoutPath) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  reaped_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -3;
  return false;
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  if (!WaitUntil([this] { return !Running(); }, timeoutMs)) return -2;
  return exitCode_;
}

void ChildProcess::Signal(int signalNumber) {
  if (pid_ > 0 && !reaped_) kill(pid_, signalNumber);
}

std::string CopyProgramTo(const std::string& folder, const std::string& program) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  const fs::path target = fs::path(folder) / fs::path(program).filename();
  fs::copy_file(program, target, fs::copy_options::overwrite_existing);
  return target.string();
}

}  // namespace testing_support
