#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "PlatformTestSupport.h"
#include "platform/Console.h"

namespace {

// Points fd 1 at a file for the test's duration, standing for the terminal.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::cout.flush();
    std::fflush(stdout);
    realStdout_ = dup(STDOUT_FILENO);
    const int terminal =
        open(terminalPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(terminal, 0);
    ASSERT_GE(dup2(terminal, STDOUT_FILENO), 0);
    close(terminal);
  }
  void TearDown() override {
    platform::AllocConsole();
    std::cout.flush();
    std::fflush(stdout);
    dup2(realStdout_, STDOUT_FILENO);
    close(realStdout_);
  }
  std::string Terminal() {
    std::cout.flush();
    std::fflush(stdout);
    std::ifstream file(terminalPath_);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }

  platform_test::TempFolder temp_;
  std::string terminalPath_ = temp_ / "terminal";
  int realStdout_ = -1;
};

}  // namespace

TEST_F(ConsoleTest, DetachedOutputGoesNowhereUntilAllocConsole) {
  std::cout << "before;" << std::flush;
  platform::DetachStandardOutput();
  std::cout << "hidden-cout;" << std::flush;
  std::printf("hidden-printf;");
  std::fflush(stdout);
  EXPECT_EQ(write(STDOUT_FILENO, "hidden-write;", 13), 13);
  platform::AllocConsole();
  std::cout << "shown-cout;" << std::flush;
  std::printf("shown-printf;");
  EXPECT_EQ(Terminal(), "before;shown-cout;shown-printf;");
}

TEST_F(ConsoleTest, BothCallsAreIdempotent) {
  platform::AllocConsole();  // nothing detached: no effect
  std::cout << "a;" << std::flush;
  platform::DetachStandardOutput();
  platform::DetachStandardOutput();
  std::cout << "hidden;" << std::flush;
  platform::AllocConsole();
  platform::AllocConsole();
  std::cout << "b;" << std::flush;
  EXPECT_EQ(Terminal(), "a;b;");
}

TEST_F(ConsoleTest, PendingOutputIsFlushedBeforeDetaching) {
  std::printf("buffered;");  // still in stdio's buffer when detaching
  platform::DetachStandardOutput();
  platform::AllocConsole();
  EXPECT_EQ(Terminal(), "buffered;");
}
