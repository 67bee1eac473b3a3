#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuntionImpl.h"
#include "SignatureTestSupport.h"
#include "support/TestEnvironment.h"

namespace {

// Standard output of the calling process, into a file, while it lives.
class StdoutCapture {
 public:
  explicit StdoutCapture(const std::string& path) : path_(path) {
    std::fflush(stdout);
    saved_ = dup(1);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    close(file);
  }
  ~StdoutCapture() { Restore(); }
  std::string Text() {
    Restore();
    return signature_test::ReadBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

// There is no firewall to reach here: the routine ends on its set-up failure
// and says so on standard output, each time it is called.
TEST(FirewallTest, AuthorizeSelfInFirewallEndsOnTheSetUpFailure) {
  testing_support::TestEnvironment env;
  signature_test::LogRecorder log;
  for (int call = 0; call < 2; ++call) {
    StdoutCapture output(env.Root() + "/stdout");
    const int result = FuntionImpl::AuthorizeSelfInFirewall(L"/opt/Vornik/lumaclear_setup");
    const std::string text = output.Text();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(text,
              "CoCreateInstance failed: 0x80040154\n"
              "WindowsFirewallInitialize failed: 0x80040154\n");
  }
}

}  // namespace
