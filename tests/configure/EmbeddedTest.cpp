// The record without the server: its initial values, the embedded load from
// the product configuration labels, the candidate address rule and the log.
#include <algorithm>
#include <string>
#include <vector>

#include "ConfigureFixture.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "uitoolkit/MarkupBuilder.h"

namespace configure_test {
namespace {

constexpr wchar_t kShippedExtraUrl[] =
    L"https://download.lumaclear.com/release/lumaclear_setup.exe";

using EmbeddedTest = ConfigureTest;

TEST_F(EmbeddedTest, NewRecordIsNotLoadedAndLogsNothing) {
  CConfigure record(127, 1033, 61);
  EXPECT_EQ(record.state, CConfigure::kStateNotLoaded);
  EXPECT_EQ(record.source, CConfigure::kSourceNothing);
  EXPECT_EQ(record.Downloader_type, 3);
  EXPECT_EQ(record.InstallTimeout, 240);
  EXPECT_EQ(record.getRequestUrl(), "");
  EXPECT_EQ(record.printContent(), 1);
  const std::vector<std::string> expected = ExpectedContentLines(
      " Configure Load From Nothing! ", {"0", "127", "0", "61", "1033", "", "",  "",  "",  "",
                                         "",  "",    "",  "",   "",     "", "0", "0", "0", "0"});
  EXPECT_TRUE(log_.ContainsRun(expected)) << testing::PrintToString(log_.Lines());
}

TEST_F(EmbeddedTest, MarkedLoadIsTheShippedConfiguration) {
  CConfigure record(1, 2, 3);
  record.Slice_num = 9;
  EXPECT_EQ(record.loadFromProductConfig(ProductTree(), true), 1);

  EXPECT_EQ(record.state, CConfigure::kStateLoaded);
  EXPECT_EQ(record.source, CConfigure::kSourceEmbedded);
  EXPECT_EQ(record.Downloader_id, 127);
  EXPECT_EQ(record.Software_id, 0);
  EXPECT_EQ(record.Site_id, 61);
  EXPECT_EQ(record.Language_id, 1033);
  EXPECT_EQ(record.Downloader_type, 1);
  EXPECT_EQ(record.Slice_num, 0);
  EXPECT_EQ(record.InstallTimeout, 600);
  EXPECT_EQ(record.Software_name, L"Vornik Lumaclear");
  EXPECT_EQ(record.Software_version, L"1.0.0.0");
  EXPECT_EQ(record.Process_name, L"LumaclearApp.exe");
  EXPECT_EQ(record.Download_url, L"https://dl.vornik.com/lumaclear/lumaclear_setup.exe");
  EXPECT_EQ(record.Extra_download_url, kShippedExtraUrl);
  EXPECT_EQ(record.Download_url_list, std::vector<std::wstring>({kShippedExtraUrl}));
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), 0);

  EXPECT_EQ(record.printContent(), 1);
  EXPECT_TRUE(log_.Contains(" Configure Load From File! "));
  EXPECT_TRUE(log_.Contains(" [Extra Download Url]: " + platform::ToUtf8(kShippedExtraUrl)));
}

// The unmarked load (the window's, right after it creates the record) leaves
// nothing loaded, even over a loaded record.
TEST_F(EmbeddedTest, UnmarkedLoadLeavesTheRecordNotLoaded) {
  CConfigure record(127, 1033, 61);
  record.loadFromProductConfig(ProductTree(), true);
  record.loadFromProductConfig(ProductTree(), false);
  EXPECT_EQ(record.state, CConfigure::kStateNotLoaded);
  EXPECT_EQ(record.source, CConfigure::kSourceNothing);
  EXPECT_TRUE(record.Download_url_list.empty());
  EXPECT_EQ(record.Software_name, L"Vornik Lumaclear");
}

TEST_F(EmbeddedTest, CandidateAddresses) {
  struct Case {
    const wchar_t* download;
    const wchar_t* extra;
    std::vector<std::wstring> candidates;
  } cases[] = {
      {L"https://dl.vornik.com/a.exe",
       L"https://download.lumaclear.com/b.exe",
       {L"https://download.lumaclear.com/b.exe"}},
      {L"https://a.example/a.exe",
       L"https://b.example/b.exe",
       {L"https://a.example/a.exe", L"https://b.example/b.exe"}},
      {L"https://cdn.vornik.com/a.exe", L"https://x.example/y?u=https://dl.z/a", {}},
      {L"", L"https://b.example/b.exe", {L"https://b.example/b.exe"}},
      {L"https://a.example/a.exe", L"", {L"https://a.example/a.exe"}},
      {L"https://DL.vornik.com/a.exe", L"", {L"https://DL.vornik.com/a.exe"}},
      {L"https://a.example/a.exe", L"https://a.example/a.exe", {L"https://a.example/a.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.download) + " / " + platform::ToUtf8(c.extra));
    SetLabel(L"Download_url", c.download);
    SetLabel(L"Extra_download_url", c.extra);
    CConfigure record(127, 1033, 61);
    record.loadFromProductConfig(ProductTree(), true);
    EXPECT_EQ(record.Download_url_list, c.candidates);
  }
}

TEST_F(EmbeddedTest, InstallTimeoutRule) {
  struct Case {
    const wchar_t* text;
    int32_t seconds;
  } cases[] = {{L"0", 242}, {L"", 242}, {L"abc", 242}, {L"600", 600}, {L"30", 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text));
    SetLabel(L"InstallTimeout", c.text);
    CConfigure record(127, 1033, 61);
    record.loadFromProductConfig(ProductTree(), false);
    EXPECT_EQ(record.InstallTimeout, c.seconds);
  }
}

// The flow's fallback uses what the window read, without the control tree,
// which may be gone or changing by then.
TEST_F(EmbeddedTest, FallbackUsesTheValuesReadOnTheUiThread) {
  std::unique_ptr<ui::Control> tree = ui::BuildFreeStandingTree(L"configure/configure.xml");
  ASSERT_NE(tree, nullptr);
  CConfigure record(127, 1033, 61);
  record.loadFromProductConfig(tree.get(), false);
  tree.reset();

  record.loadFromProductConfig(true);
  EXPECT_EQ(record.state, CConfigure::kStateLoaded);
  EXPECT_EQ(record.source, CConfigure::kSourceEmbedded);
  EXPECT_EQ(record.Software_name, L"Vornik Lumaclear");
  EXPECT_EQ(record.InstallTimeout, 600);
  EXPECT_EQ(record.Download_url_list, std::vector<std::wstring>({kShippedExtraUrl}));

  // Never read: an empty product configuration.
  CConfigure unread(127, 1033, 61);
  unread.loadFromProductConfig(true);
  EXPECT_EQ(unread.Downloader_id, 0);
  EXPECT_EQ(unread.Software_name, L"");
  EXPECT_EQ(unread.InstallTimeout, 242);
  EXPECT_TRUE(unread.Download_url_list.empty());
}

}  // namespace
}  // namespace configure_test
