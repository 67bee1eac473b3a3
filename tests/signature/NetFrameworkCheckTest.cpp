#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>

#include "FuntionImpl.h"
#include "SignatureTestSupport.h"
#include "platform/Encoding.h"
#include "platform/Registry.h"
#include "support/TestEnvironment.h"

namespace {

constexpr wchar_t kNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";
constexpr char kZeroInLine[] = "[Settings]\nNetFrameworkVersion=4.8\0junk\n";

class NetFrameworkCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = env_.Root() + "/Vornik Lumaclear";
    std::filesystem::create_directories(folder_);
  }

  void WriteCheckFile(const std::string& text) {
    signature_test::WriteBytes(folder_ + "/NetFrameCheck.db", text);
  }

  void SetLocalVersion(const std::wstring& version) {
    ASSERT_TRUE(platform::RegSetString(platform::HKEY_LOCAL_MACHINE, kNetKey, L"Version", version));
  }

  std::wstring Folder() const { return platform::FromUtf8(folder_); }

  testing_support::TestEnvironment env_;
  std::string folder_;
};

TEST_F(NetFrameworkCheckTest, WillShowNetFrameCheck) {
  struct Case {
    const char* file;      // nullptr: no file
    const wchar_t* local;  // nullptr: no registry value
    bool expected;
  };
  const Case cases[] = {
      {"[Settings]\nNetFrameworkVersion=4.8\n", L"4.7.03062", true},
      {"[Settings]\nNetFrameworkVersion=4.8\n", L"4.8.09032", false},
      {"[Settings]\nNetFrameworkVersion=4.8\n", L"4.8", false},
      {"[Settings]\nNetFrameworkVersion=4.8\n", L"5", false},
      {"[Settings]\nNetFrameworkVersion=4.8\n", nullptr, true},
      {"[Settings]\r\nNetFrameworkVersion=4.8\r\n", nullptr, true},
      {"\xEF\xBB\xBF[Settings]\nNetFrameworkVersion=4.8\n", nullptr, true},
      {"[Settings]\nNetFrameworkVersion =4.8\n", nullptr, false},
      {"[Settings]\n NetFrameworkVersion=4.8\n", nullptr, false},
      {"[Settings]\nnetframeworkversion=4.8\n", nullptr, false},
      {"[Text]\n[Settings]\nNetFrameworkVersion=4.8\n", nullptr, false},
      {"NetFrameworkVersion=4.8\n", nullptr, false},
      {"[Settings]\nNetFrameworkVersion=4.8.1.2.9\n", L"4.8.1.2", false},
      {"[Settings]\nNetFrameworkVersion=4.8.1.3.0\n", L"4.8.1.2.9", true},
      {"", nullptr, false},
      {nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder_ + "/NetFrameCheck.db");
    platform::RegDeleteKeyTree(platform::HKEY_LOCAL_MACHINE, kNetKey);
    if (c.file != nullptr) WriteCheckFile(c.file);
    if (c.local != nullptr) SetLocalVersion(c.local);
    EXPECT_EQ(FuntionImpl::WillShowNetFrameCheck(Folder()), c.expected)
        << (c.file ? c.file : "(no file)") << " against "
        << (c.local ? platform::ToUtf8(c.local) : "(no value)");
  }
}

TEST_F(NetFrameworkCheckTest, LogsBothVersionsOnlyWhenItCompares) {
  {
    signature_test::LogRecorder log;
    EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(Folder()));
    EXPECT_TRUE(log.Lines().empty());
  }
  WriteCheckFile("[Settings]\nNetFrameworkVersion=4.8");
  SetLocalVersion(L"4.7.03062");
  signature_test::LogRecorder log;
  EXPECT_TRUE(FuntionImpl::WillShowNetFrameCheck(Folder()));
  EXPECT_EQ(log.Lines(), std::vector<std::string>{" LocalNetFrame: 4.7.03062, NeedNetFrame: 4.8"});
}

TEST_F(NetFrameworkCheckTest, ReadNeededNetFrameworkVersion) {
  const std::string filler = "Filler=" + std::string(100, 'f') + "\n";
  std::string blockBoundary;
  while (blockBoundary.size() + filler.size() < 65536 - 40) blockBoundary += filler;
  struct Case {
    const char* name;
    std::string file;
    std::wstring expected;
  };
  const Case cases[] = {
      {"plain", "[Settings]\nNetFrameworkVersion=4.8\n", L"4.8\n"},
      {"last line without break", "[Settings]\nNetFrameworkVersion=4.8", L"4.8"},
      {"CR LF", "[Settings]\r\nNetFrameworkVersion=4.8\r\n", L"4.8\n"},
      {"lone CR kept", "[Settings]\nNetFrameworkVersion=4.8\r\r\n", L"4.8\r\n"},
      {"byte-order mark", "\xEF\xBB\xBF[Settings]\nNetFrameworkVersion=4.8\n", L"4.8\n"},
      {"other keys first", "[Settings]\nName=x\nNetFrameworkVersion=4.7.2\n[Text]\n", L"4.7.2\n"},
      {"section name inside a line", "; [Settings] below\nNetFrameworkVersion=4\n", L"4\n"},
      {"value with its own equals sign", "[Settings]\nNetFrameworkVersion=a=b\n", L"a=b\n"},
      {"first key wins", "[Settings]\nNetFrameworkVersion=1\nNetFrameworkVersion=2\n", L"1\n"},
      {"text section first", "[Settings]\n[Text]\nNetFrameworkVersion=4.8\n", L""},
      {"short lines skipped", "[Settings]\n=\nNetFrameworkVersion=4.8\n", L"4.8\n"},
      {"key at the line start only", "[Settings]\n=NetFrameworkVersion=4.8\n", L""},
      {"zero ends the line", std::string(kZeroInLine, sizeof kZeroInLine - 1), L"4.8"},
      {"non-ASCII text", "[Settings]\n# \xE7\x89\x88\xE6\x9C\xAC\nNetFrameworkVersion=4.8\n",
       L"4.8\n"},
      {"invalid UTF-8", "[Settings]\n\xFF\xFE\nNetFrameworkVersion=4.8\n", L"4.8\n"},
      // A line of 1023 characters fills one read; its break comes as a line of
      // its own, and the next line is read whole.
      {"line of 1023 characters",
       "[Settings]\n" + std::string(1023, 'x') + "\nNetFrameworkVersion=4.8\n", L"4.8\n"},
      // A longer line is read in pieces, each taken as a line.
      {"key inside a long line",
       "[Settings]\n" + std::string(1023, 'x') + "NetFrameworkVersion=4.8\n", L"4.8\n"},
      {"key cut by a piece boundary",
       "[Settings]\n" + std::string(1020, 'x') + "NetFrameworkVersion=4.8\n", L""},
      {"character across a block boundary",
       "[Settings]\n" + blockBoundary + std::string(65536 - 11 - blockBoundary.size() - 1, 'y') +
           "\xE7\x89\x88\nNetFrameworkVersion=4.8\n",
       L"4.8\n"},
      {"CR LF across a block boundary",
       "[Settings]\n" + blockBoundary + std::string(65536 - 11 - blockBoundary.size() - 25, 'y') +
           "\nNetFrameworkVersion=4.8\r\n",
       L"4.8\n"},
  };
  for (const Case& c : cases) {
    WriteCheckFile(c.file);
    EXPECT_EQ(FuntionImpl::ReadNeededNetFrameworkVersion(Folder()), c.expected) << c.name;
  }
}

TEST_F(NetFrameworkCheckTest, CheckFileThatCannotBeRead) {
  std::filesystem::create_directories(folder_ + "/NetFrameCheck.db");
  EXPECT_EQ(FuntionImpl::ReadNeededNetFrameworkVersion(Folder()), L"");
  EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(Folder()));
  EXPECT_EQ(FuntionImpl::ReadNeededNetFrameworkVersion(Folder() + L"/missing"), L"");
  // Opening a pipe for reading would wait for a writer.
  const std::string pipeFolder = folder_ + "/pipe";
  std::filesystem::create_directories(pipeFolder);
  ASSERT_EQ(mkfifo((pipeFolder + "/NetFrameCheck.db").c_str(), 0600), 0);
  EXPECT_EQ(FuntionImpl::ReadNeededNetFrameworkVersion(platform::FromUtf8(pipeFolder)), L"");
}

TEST_F(NetFrameworkCheckTest, GetLocalNetFrameworkVersion) {
  using platform::HKEY_LOCAL_MACHINE;
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"");
  ASSERT_TRUE(platform::RegCreateKey(HKEY_LOCAL_MACHINE, kNetKey));
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"");
  ASSERT_TRUE(platform::RegSetDword(HKEY_LOCAL_MACHINE, kNetKey, L"Version", 4));
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"");
  SetLocalVersion(L"4.8.09032");
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"4.8.09032");
  SetLocalVersion(std::wstring(L"4.8\0tail", 8));
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"4.8");
  // 259 characters and the terminating zero fill the buffer; one more does not fit.
  SetLocalVersion(L"4." + std::wstring(257, L'1'));
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion().size(), 259u);
  SetLocalVersion(L"4." + std::wstring(258, L'1'));
  EXPECT_EQ(FuntionImpl::GetLocalNetFrameworkVersion(), L"");
}

TEST(ParseVersionNumbersTest, Table) {
  struct Case {
    std::wstring text;
    int32_t expected[4];
  };
  const Case cases[] = {
      {L"4.8", {4, 8, 0, 0}},
      {L"4.7.03062", {4, 7, 3062, 0}},
      {L"4.8\n", {4, 8, 0, 0}},
      {L"", {0, 0, 0, 0}},
      {L"1.2.3.4.5", {1, 2, 3, 4}},
      {L" 4. +8.-1.x", {4, 8, -1, 0}},
      {L"..5", {0, 0, 5, 0}},
      {L"4beta.8", {4, 8, 0, 0}},
      {L"99999999999.1", {INT32_MAX, 1, 0, 0}},
      {L"-99999999999", {INT32_MIN, 0, 0, 0}},
      {L"2147483648.-2147483648", {INT32_MAX, INT32_MIN, 0, 0}},
      // Only low bytes count: U+0134 reads as "4", U+012E as ".".
      {L"\u0134.8", {4, 8, 0, 0}},
      {L"4\u012E8", {4, 8, 0, 0}},
      // U+0100 has a zero low byte, which ends the text.
      {L"4\u0100.8", {4, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    int32_t numbers[4] = {7, 7, 7, 7};
    FuntionImpl::ParseVersionNumbers(c.text, numbers);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(numbers[i], c.expected[i]) << platform::ToUtf8(c.text) << " [" << i << "]";
    }
  }
}

}  // namespace
