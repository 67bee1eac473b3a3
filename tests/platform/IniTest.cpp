#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PlatformTestSupport.h"
#include "platform/Ini.h"
#include "support/TestEnvironment.h"

using platform::GetPrivateProfileInt;
using platform_test::TempFolder;
using platform_test::Wide;
using testing_support::WriteFile;

namespace {

struct IniCase {
  const char* label;
  const char* content;
  const wchar_t* section;
  const wchar_t* key;
  int expected;  // with default -99
};

const IniCase kCases[] = {
    {"plain", "[Settings]\nAutoRun=1\n", L"Settings", L"AutoRun", 1},
    {"missing key", "[Settings]\nAutoRun=1\n", L"Settings", L"CrashTest", -99},
    {"missing section", "[Settings]\nAutoRun=1\n", L"Other", L"AutoRun", -99},
    {"key outside any section", "AutoRun=1\n[Settings]\n", L"Settings", L"AutoRun", -99},
    {"key in another section", "[A]\nAutoRun=1\n[Settings]\nX=2\n", L"Settings", L"AutoRun", -99},
    {"not a number", "[Settings]\nAutoRun=abc\n", L"Settings", L"AutoRun", 0},
    {"leading number", "[Settings]\nAutoRun=12abc\n", L"Settings", L"AutoRun", 12},
    {"blanks around", "[Settings]\n  AutoRun  =  7  \n", L"Settings", L"AutoRun", 7},
    {"negative", "[Settings]\nAutoRun=-3\n", L"Settings", L"AutoRun", -3},
    {"plus sign", "[Settings]\nAutoRun=+5\n", L"Settings", L"AutoRun", 5},
    {"sign only", "[Settings]\nAutoRun=-\n", L"Settings", L"AutoRun", 0},
    {"empty value", "[Settings]\nAutoRun=\n", L"Settings", L"AutoRun", -99},
    {"no equals sign", "[Settings]\nAutoRun\n", L"Settings", L"AutoRun", -99},
    {"quoted", "[Settings]\nAutoRun=\"42\"\n", L"Settings", L"AutoRun", 42},
    {"hexadecimal is not decimal", "[Settings]\nAutoRun=0x10\n", L"Settings", L"AutoRun", 0},
    {"wraps at 32 bits", "[Settings]\nAutoRun=4294967297\n", L"Settings", L"AutoRun", 1},
    {"case-insensitive names", "[settings]\nAUTORUN=1\n", L"SETTINGS", L"autorun", 1},
    {"blanks in section header", "[ Settings ]\nAutoRun=3\n", L"Settings", L"AutoRun", 3},
    {"CRLF", "[Settings]\r\nAutoRun=1\r\nCrashTest=2\r\n", L"Settings", L"CrashTest", 2},
    {"BOM", "\xEF\xBB\xBF[Settings]\nAutoRun=1\n", L"Settings", L"AutoRun", 1},
    {"no final line feed", "[Settings]\nAutoRun=9", L"Settings", L"AutoRun", 9},
    {"semicolon comment", "[Settings]\n;AutoRun=1\n", L"Settings", L"AutoRun", -99},
    {"hash comment", "[Settings]\n# AutoRun=1\nAutoRun=2\n", L"Settings", L"AutoRun", 2},
    {"first key wins", "[Settings]\nAutoRun=1\nAutoRun=2\n", L"Settings", L"AutoRun", 1},
    {"first section only", "[Settings]\nA=1\n[Settings]\nAutoRun=2\n", L"Settings", L"AutoRun",
     -99},
    {"empty file", "", L"Settings", L"AutoRun", -99},
    {"UTF-8 names", "[\xE8\xAE\xBE\xE7\xBD\xAE]\n\xE9\x94\xAE=5\n", L"\u8bbe\u7f6e", L"\u952e", 5},
};

class IniTableTest : public ::testing::TestWithParam<IniCase> {};

}  // namespace

TEST_P(IniTableTest, ReadsAsWindowsWould) {
  const IniCase& c = GetParam();
  TempFolder temp;
  WriteFile(temp / "mv_downloader.cfg", c.content);
  EXPECT_EQ(GetPrivateProfileInt(c.section, c.key, -99, Wide(temp / "mv_downloader.cfg")),
            c.expected)
      << c.label;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniTableTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<IniCase>& info) {
                           std::string name = info.param.label;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(IniTest, MissingFileGivesDefault) {
  TempFolder temp;
  EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 5, Wide(temp / "none.cfg")), 5);
}

TEST(IniTest, FolderGivesDefault) {
  TempFolder temp;
  EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 5, temp.WidePath()), 5);
}

TEST(IniTest, FileIsReadAtEveryCall) {
  TempFolder temp;
  const std::string path = temp / "mv_downloader.cfg";
  WriteFile(path, "[Settings]\nAutoRun=1\n");
  EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 0, Wide(path)), 1);
  WriteFile(path, "[Settings]\nAutoRun=2\n");
  EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 0, Wide(path)), 2);
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 0, Wide(path)), 0);
}

TEST(IniTest, UnreadableFileGivesDefault) {
  TempFolder temp;
  const std::string path = temp / "locked.cfg";
  WriteFile(path, "[Settings]\nAutoRun=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(GetPrivateProfileInt(L"Settings", L"AutoRun", 5, Wide(path)), 5);
    return;
  }
  // Root reads every file: read as an unprivileged user in a child instead.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(GetPrivateProfileInt(L"Settings", L"AutoRun", 5, Wide(path)) == 5 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
