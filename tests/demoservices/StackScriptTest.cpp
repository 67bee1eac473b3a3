// tools/demo-services start, status and stop: the stack's life as a caller
// sees it.
#include <filesystem>

#include "HttpsClient.h"
#include "StackFixture.h"

namespace demoservices_test {
namespace {

namespace fs = std::filesystem;

using StackScriptTest = StackTest;

TEST_F(StackScriptTest, StartReturnsOnceTheServicesAnswerAndStopEndsTheProgram) {
  const ScriptRun started = Start(WritePatternInstaller());
  ASSERT_EQ(started.exitCode, 0) << started.output;
  EXPECT_EQ(ServicesFileFrom(started.output), Folder() + "/services.conf");
  EXPECT_NE(started.output.find("export VORNIK_SERVICES="), std::string::npos);
  for (const std::string& line : {std::string("# update: ") + Service("update"),
                                  std::string("# log_upload: ") + Service("log_upload"),
                                  std::string("# download: https://127.0.0.1:")}) {
    EXPECT_NE(started.output.find(line), std::string::npos) << line;
  }
  // Answering at once, without waiting: start has waited.
  const HttpResult answer = HttpsGet(Service("collector") + "/collect", CaFile());
  EXPECT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.status, 200);
  const pid_t pid = Pid();
  ASSERT_GT(pid, 0);
  EXPECT_FALSE(ProcessEnded(pid));
  EXPECT_EQ(RunScript("status").exitCode, 0);

  const ScriptRun stopped = RunScript("stop");
  EXPECT_EQ(stopped.exitCode, 0);
  EXPECT_TRUE(ProcessEnded(pid));
  EXPECT_FALSE(fs::exists(Folder() + "/services.pid"));
  // Ended by its own SIGTERM handling, not killed.
  EXPECT_NE(Log().find("\nstopped\n"), std::string::npos) << Log();
  EXPECT_NE(HttpsGet(Service("collector") + "/collect", CaFile()).code, CURLE_OK);
  EXPECT_EQ(RunScript("status").exitCode, 1);
}

TEST_F(StackScriptTest, StartWhileRunningKeepsTheRunningStack) {
  ASSERT_EQ(Start(WritePatternInstaller()).exitCode, 0);
  const pid_t pid = Pid();
  const std::string update = Service("update");
  const ScriptRun again = Start(WritePatternInstaller());
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(Pid(), pid);
  EXPECT_EQ(Service("update"), update);
  EXPECT_EQ(ServicesFileFrom(again.output), Folder() + "/services.conf");
}

TEST_F(StackScriptTest, StopWithoutAStackIsFine) {
  EXPECT_EQ(RunScript("stop").exitCode, 0);
  // A pid file left by a stack that died, naming a process that is no stack.
  fs::create_directories(Folder());
  testing_support::WriteFile(Folder() + "/services.pid", std::to_string(getpid()) + "\n");
  EXPECT_EQ(RunScript("stop").exitCode, 0);
  EXPECT_FALSE(fs::exists(Folder() + "/services.pid"));
  EXPECT_FALSE(ProcessEnded(getpid()));
}

TEST_F(StackScriptTest, FailedStartSaysWhyAndLeavesNothingRunning) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    const char* logged;
  };
  const Case cases[] = {
      {"missing installer", {"--installer", "/nonexistent/installer"}, "cannot read the installer"},
      {"unknown option", {"--bogus"}, "unknown option --bogus"},
      {"bad number", {"--slice-num", "many"}, "bad value \"many\" for --slice-num"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ScriptRun run = RunScript("start", c.arguments);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(ServicesFileFrom(run.output), "");
    EXPECT_FALSE(fs::exists(Folder() + "/services.pid"));
    EXPECT_FALSE(fs::exists(Folder() + "/services.conf"));
    EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
  }
}

}  // namespace
}  // namespace demoservices_test
