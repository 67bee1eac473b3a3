// A child process of the real program for end-to-end tests: started with
// arguments and the current environment, its standard output captured to a
// file. The destructor kills a child that is still running.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class ChildProcess {
 public:
  ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
               const std::string& stdoutPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Exit code, -2 when it did not end within timeoutMs, -3 when killed by a signal.
  int Wait(int timeoutMs = 20000);
  bool Running();
  void Signal(int signalNumber);

 private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
  bool reaped_ = false;
};

// Copies the program under test into folder (so a switch file can lie beside
// it) and returns the copy's path.
std::string CopyProgramTo(const std::string& folder, const std::string& program);

}  // namespace testing_support
