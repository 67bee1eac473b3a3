// A clean fake machine for one test: its own temporary folder with APPDATA,
// runtime folder (mutexes, window sockets), registry root and fixed drive, all
// pointed to by the environment variables the program reads. Service
// addresses (VORNIK_SERVICES) point at a closed local port and the report
// SDK's timing (VORNIK_REPORT_TIMING) is short, until a test sets its own.
// Requests to any host but 127.0.0.1 and localhost go through a proxy at a
// closed local port, so they fail at once.
// Restores the environment and removes the folder when the test ends.
#pragma once
#include <functional>
#include <map>
#include <string>

namespace testing_support {

class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  const std::string& Root() const { return root_; }
  std::string AppData() const { return root_ + "/appdata"; }
  std::string Runtime() const { return root_ + "/run"; }
  std::string Drive() const { return root_ + "/drive"; }

  // Sets a variable for this test only.
  void SetEnv(const std::string& name, const std::string& value);

 private:
  std::string root_;
  std::map<std::string, std::pair<bool, std::string>> saved_;
};

// Writes text to path, creating the parent folders.
void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
// Polls condition until it holds or timeoutMs passes; the conditions here are
// other processes' doings, which nothing announces.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000);

}  // namespace testing_support
