#include <gtest/gtest.h>

#include <cstring>

#include "platform/ProcessCommandLine.h"

namespace {

TEST(ProcessCommandLine, JoinThenSplitGivesTheArgumentsBack) {
  const std::vector<std::vector<const char*>> cases = {
      {"prog"},
      {"prog", "debug"},
      {"prog", "-dmp", "lumaclear_setup_1.log"},
      {"prog", "-close07", "my log.log"},
      {"prog", "", "a\"b", "c\\", "d\\\"e", "f g\\"},
  };
  for (const auto& argv : cases) {
    const std::wstring line = platform::JoinArguments(int(argv.size()), argv.data());
    const std::vector<std::wstring> split = platform::SplitCommandLine(line);
    ASSERT_EQ(split.size(), argv.size() - 1) << line;
    for (size_t i = 1; i < argv.size(); ++i) {
      EXPECT_EQ(split[i - 1], std::wstring(argv[i], argv[i] + strlen(argv[i]))) << line;
    }
  }
  const char* plain[] = {"prog", "-dmp", "x.log"};
  EXPECT_EQ(platform::JoinArguments(3, plain), L"-dmp x.log");
}

TEST(ProcessCommandLine, WindowsSplittingRules) {
  EXPECT_EQ(platform::SplitCommandLine(L"  a  \"b c\"\td"),
            (std::vector<std::wstring>{L"a", L"b c", L"d"}));
  EXPECT_EQ(platform::SplitCommandLine(L"a\\\\\"b c\""), (std::vector<std::wstring>{L"a\\b c"}));
  EXPECT_EQ(platform::SplitCommandLine(L"a\\\\b"), (std::vector<std::wstring>{L"a\\\\b"}));
  EXPECT_EQ(platform::SplitCommandLine(L"\"a\"\"b\""), (std::vector<std::wstring>{L"a\"b"}));
  EXPECT_TRUE(platform::SplitCommandLine(L"   ").empty());
}

}  // namespace
