// The services stack as its users run it: tools/demo-services start and stop,
// with this build's vornik-demo-services, in a folder of the test's own fake
// machine. The fixture stops a stack that a test left running.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace demoservices_test {

struct ScriptRun {
  int exitCode = -1;   // -2: did not end in time
  std::string output;  // standard output
};

class StackTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // tools/demo-services COMMAND FOLDER ARGUMENTS...
  ScriptRun RunScript(const std::string& command, const std::vector<std::string>& arguments = {});
  // Starts the stack serving the installer at path (or, empty, the one
  // beside the program) with the extra options.
  ScriptRun Start(const std::string& installer, const std::vector<std::string>& options = {});

  std::string Folder() const { return env_.Root() + "/stack"; }
  // services.conf as key -> value.
  std::map<std::string, std::string> Services() const;
  std::string Service(const std::string& key) const;
  std::string CaFile() const { return Service("ca_file"); }
  // The pid in services.pid; -1 without one.
  pid_t Pid() const;
  std::string Log() const;
  // Waits (bounded) until the stack's log holds text.
  bool LogShows(const std::string& text) const;

  // A file of 100000 bytes (i % 251) whose MD5 is kPatternMd5.
  std::string WritePatternInstaller();
  static const char kPatternMd5[];
  static std::string Pattern();

  testing_support::TestEnvironment env_;
};

// The text of the first element of that name in xml; "<missing>" without one.
std::string ElementText(const std::string& xml, const std::string& name);
// True when pid is gone or has ended (a zombie not yet reaped by its parent).
bool ProcessEnded(pid_t pid);
// The value after "VORNIK_SERVICES=" in the script's output, "" without one.
std::string ServicesFileFrom(const std::string& output);

}  // namespace demoservices_test
