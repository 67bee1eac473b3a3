#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MD5.h"
#include "SuperviseFixture.h"
#include "support/ChildProcess.h"

namespace supervise_test {
namespace {

class FetchToolTest : public SuperviseTest {
 protected:
  // Runs vornik-fetch with the arguments; returns its exit code and keeps its output.
  int Fetch(const std::vector<std::string>& arguments) {
    const std::string outputPath = env_.Root() + "/fetch-output.txt";
    testing_support::ChildProcess child(VORNIK_FETCH_EXE, arguments, outputPath);
    EXPECT_TRUE(child.Started());
    const int code = child.Wait(60000);
    output_ = testing_support::ReadFile(outputPath);
    return code;
  }

  std::string output_;
};

TEST_F(FetchToolTest, PrintsResultAndDigestAndExitsZeroOnlyForSuccess) {
  const std::string bytes = Noise(600000);
  const std::string url = Serve(bytes);
  const std::string digest = Md5OfText(bytes);
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string firstLines;
  };
  const Case cases[] = {
      {"side download", {"--side", url, LocalPath()}, 0, "result 1 DOWNLOAD_OK\nmd5 " + digest},
      {"main download below 1 MiB",
       {"--threads", "2", url, LocalPath() + ".main"},
       1,
       "result 15 DOWNLOAD_FILE_TOO_SMALL\nmd5 " + digest},
      {"no such file",
       {"--side", server_->Url("/files/none.exe"), LocalPath() + ".none"},
       1,
       "result 6 DOWNLOAD_NO_LENGTH\nmd5 -"},
      {"missing local path", {url}, 2, ""},
      {"unknown switch", {"--fast", url, LocalPath()}, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.exitCode, Fetch(c.arguments));
    EXPECT_EQ(c.firstLines, output_.substr(0, c.firstLines.size())) << output_;
  }
}

}  // namespace
}  // namespace supervise_test
